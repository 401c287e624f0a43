// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "conversion.h"
#include "document_reading.h"
#include "tag_extract.h"
#include "text_file.h"
#include "xml_text.h"

#include <QTextCodec>

namespace {

// The declaration as the copy's readers will take it.
void check_declaration(Findings &f, const QString &section, const RunSettings &settings,
                       const QString &text, QTextCodec *readIn, const QString &readAs)
{
    const CopyEncoding copy = copy_encoding(settings.copyEncoding);
    const NameSpan declaration = xml_declaration(text);
    const NameSpan span = declared_encoding(text);
    if (span.start < 0) {
        const QString what = declaration.start < 0
                                 ? QStringLiteral("has no XML declaration")
                                 : QStringLiteral("has an XML declaration without an encoding");
        if (copy.codec->mibEnum() == 106)
            f.add(section, Level::Ok,
                  what + QStringLiteral(": readers take the copy for UTF-8, which it is"));
        else
            f.add(section, Level::Warning,
                  what + QStringLiteral(": readers take the copy for UTF-8, but it is written in "
                                        "%1 (the pass adds no declaration)")
                             .arg(copy.name));
        return;
    }
    const QString declared = text.mid(span.start, span.length);
    if (same_encoding(codec_for_name(declared), readIn))
        f.add(section, Level::Ok,
              QStringLiteral("declares %1, as it is read").arg(visible(declared)));
    else
        f.add(section, Level::Warning,
              QStringLiteral("declares %1, but is read as %2").arg(visible(declared), readAs));
    const QString rewritten =
        rewrite_declaration(text.mid(declaration.start, declaration.length), copy.codec, copy.name);
    const NameSpan copySpan = declared_encoding(rewritten);
    const QString copyName = rewritten.mid(copySpan.start, copySpan.length);
    if (copyName == declared)
        f.add(section, Level::Ok,
              QStringLiteral("the copy keeps the declared %1, the name of its encoding (%2)")
                  .arg(visible(declared), codec_name(copy.codec)));
    else
        f.add(section, Level::Ok,
              QStringLiteral("the copy declares %1 instead of %2")
                  .arg(visible(copyName), visible(declared)));
}

} // namespace

void check_document(Findings &f, const RunSettings &settings, const QString &path)
{
    const QString section = QStringLiteral("document ") + visible(settings.documentPath);
    QTextCodec *const setting = codec_for_name(settings.documentEncoding);
    const CopyEncoding copy = copy_encoding(settings.copyEncoding);
    const DocumentText document = read_document(path, setting, settings.copyPath, copy.codec);
    const std::optional<QString> &text = document.text;
    if (!text) {
        f.add(section, Level::Error,
              input_problem(path) + QStringLiteral(": ") +
                  stops_with(PassOutcome::CantOpenDocument));
        return;
    }
    const QByteArray bytes = first_bytes(path);
    f.add(section, Level::Ok,
          QStringLiteral("%1 bytes (at most %2 are read)").arg(bytes.size()).arg(maxInputBytes));
    QTextCodec *readIn = codec_or_locale(document.codec);
    QString readAs = setting ? QStringLiteral("%1 (INXMLENC)").arg(codec_name(setting))
                             : QStringLiteral("%1 (the locale encoding)").arg(codec_name(nullptr));
    if (document.earlierCopy) {
        readAs = QStringLiteral("%1 (OUTXMLENC)").arg(codec_name(copy.codec));
        f.add(
            section, Level::Note,
            QStringLiteral("is an earlier pass's copy (NEWXML names the document, and it declares "
                           "the copy's encoding): it is read as %1, not as INXMLENC")
                .arg(codec_name(copy.codec)));
    }
    if (QTextCodec *mark = QTextCodec::codecForUtfText(bytes, nullptr)) {
        readIn = mark;
        readAs = QStringLiteral("%1 (its byte-order mark)").arg(codec_name(mark));
        if (same_encoding(mark, setting))
            f.add(section, Level::Ok,
                  QStringLiteral("starts with a %1 byte-order mark, as INXMLENC says")
                      .arg(codec_name(mark)));
        else
            f.add(section, Level::Note,
                  QStringLiteral("starts with a %1 byte-order mark, which wins over INXMLENC %2: "
                                 "it is read as %1")
                      .arg(codec_name(mark), visible(settings.documentEncoding)));
    }
    check_declaration(f, section, settings, *text, readIn, readAs);

    for (const char *tag : {"NAME", "ARTIST"}) {
        const QString name = QLatin1String(tag);
        const QString written = extract(*text, name);
        const QString value = decode_xml_text(written);
        if (value.isEmpty())
            f.add(section, Level::Warning,
                  QStringLiteral("no %1 value: the RDS file gets \"-\" for artist and title")
                      .arg(name));
        else
            f.add(section, Level::Ok, QStringLiteral("%1 = %2").arg(name, visible(value)));
        if (written != value)
            f.add(section, Level::Note,
                  QStringLiteral("%1 is written %2 in the document: the pass decodes it")
                      .arg(name, visible(written)));
    }
}
