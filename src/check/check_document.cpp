// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "declaration.h"
#include "document.h"
#include "document_structure.h"
#include "encoding.h"
#include "encoding_guess.h"
#include "file_judgement.h"
#include "input_file.h"
#include "on_air_text.h"
#include "program_setup.h"
#include "tag_extract.h"
#include "text_file.h"
#include "xml_text.h"

#include <QRegularExpression>
#include <QTextCodec>

#include <array>

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

QString described(const Enclosing &where, int line)
{
    if (where.name.isEmpty())
        return QStringLiteral("on line %1, at the top level").arg(line);
    return QStringLiteral("on line %1 in <%2> (line %3)")
        .arg(QString::number(line), where.name, QString::number(where.line));
}

// A document with a history or a next track holds the tag more than once;
// the pass takes the first, which may not be the track on air.
void check_repeated_elements(Findings &f, const QString &section, const QString &text,
                             const QString &tag)
{
    const int shown = 4;
    const QVector<int> elements = elements_of(text, tag, shown + 1);
    if (elements.size() < 2)
        return;
    const QVector<Enclosing> where = enclosing_elements(text, elements);
    QStringList others;
    for (int k = 1; k < elements.size() && k < shown; ++k)
        others << described(where.at(k), line_of(text, elements.at(k)));
    if (elements.size() > shown)
        others << QStringLiteral("and more");
    f.add(section, Level::Warning,
          QStringLiteral("holds more than one %1 element: the pass takes the first, %2; not the "
                         "one %3; if that is not the track on air, have the playout program "
                         "write the current track first")
              .arg(tag, described(where.at(0), line_of(text, elements.at(0))),
                   others.join(QStringLiteral(", nor the one "))));
}

// A tag written almost as the pass looks for it: another case, attributes,
// a blank after "<", or the usual other name (TITLE for NAME).
void check_near_miss(Findings &f, const QString &section, const QString &text, const QString &tag)
{
    if (tag_state(text, tag).inCommentOnly) {
        f.add(section, Level::Note,
              QStringLiteral("<%1> stands only inside a comment (<!-- ... -->, line %2), which is "
                             "not content")
                  .arg(tag, QString::number(line_of(text, int(text.indexOf(opening_tag(tag)))))));
        return;
    }
    const QString names = tag == QLatin1String("NAME") ? QStringLiteral("NAME|TITLE") : tag;
    const QRegularExpression nearMiss(
        QStringLiteral("<[ \\t\\r\\n]*(%1)([ \\t\\r\\n][^>]*)?/?>").arg(names),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = nearMiss.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int at = int(match.capturedStart());
        if (inside_comment(text, at))
            continue;
        const QString written = match.captured();
        QString attributes = match.captured(2).trimmed();
        if (attributes.endsWith(QLatin1Char('/')))
            attributes.chop(1);
        QString why;
        if (match.captured(1) == tag && written.startsWith(QLatin1Char('<') + tag) &&
            attributes.trimmed().isEmpty())
            why = written.endsWith(QLatin1String("/>"))
                      ? QStringLiteral("an empty element, so the value is empty")
                      : QStringLiteral("the element is there, but holds no value");
        else if (match.captured(1).compare(tag, Qt::CaseInsensitive) != 0)
            why = QStringLiteral("the pass reads <%1>, not <%2>").arg(tag, match.captured(1));
        else if (match.captured(1) != tag)
            why = QStringLiteral("tags are matched exactly, case included");
        else if (written.startsWith(opening_tag(tag).left(1) + QLatin1Char(' ')) ||
                 !written.startsWith(QLatin1Char('<') + tag))
            why = QStringLiteral("no blank may stand after \"<\"");
        else
            why = QStringLiteral("a tag with attributes is not matched: write <%1>").arg(tag);
        f.add(section, Level::Note,
              QStringLiteral("%1 on line %2: %3")
                  .arg(written, QString::number(line_of(text, at)), why));
        return;
    }
}

// What the pass writes for a value with line breaks, blanks at its ends or
// control characters.
void check_untidy_value(Findings &f, const QString &section, const QString &tag,
                        const QString &value)
{
    const QString onAir = on_air_value(value);
    if (onAir == value)
        return;
    QStringList found;
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        found << QStringLiteral("line breaks");
    if (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()))
        found << QStringLiteral("blanks at its ends");
    if (std::any_of(value.begin(), value.end(),
                    [](QChar c) { return is_control(c) && !c.isSpace(); }))
        found << QStringLiteral("control characters");
    if (found.isEmpty())
        found << QStringLiteral("runs of white space");
    f.add(section, Level::Warning,
          QStringLiteral("%1 has %2: the pass writes it as %3")
              .arg(tag, found.join(QStringLiteral(", ")), visible(onAir)));
}

// Bytes read in a single-byte encoding that are UTF-8, or read as UTF-8
// that are not: every letter on air comes out wrong.
void check_misread(Findings &f, const QString &section, const QByteArray &bytes, QTextCodec *readIn,
                   const QString &readAs, const QString &setting)
{
    if (is_single_byte(readIn) && looks_like_utf8(bytes)) {
        f.add(section, Level::Warning,
              QStringLiteral("looks like UTF-8 (its letters beyond ASCII are all valid UTF-8) but "
                             "is read as %1: set %2 to UTF-8")
                  .arg(readAs, setting));
        return;
    }
    if (readIn->mibEnum() != 106)
        return;
    const int invalid = invalid_utf8_bytes(bytes);
    if (invalid == 0)
        return;
    const QString likely = likely_cyrillic_encoding(bytes);
    f.add(section, Level::Warning,
          QStringLiteral("is read as %1 but is not UTF-8: %2 bytes are read as \"\uFFFD\"; %3")
              .arg(readAs, QString::number(invalid),
                   likely.isEmpty()
                       ? QStringLiteral("set %1 to the encoding it is saved in").arg(setting)
                       : QStringLiteral("it looks like %1: set %2 to %1").arg(likely, setting)));
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
    const QByteArray bytes = raw_input_bytes(path);
    f.add(section, Level::Ok,
          QStringLiteral("%1 bytes (at most %2 are read)")
              .arg(QString::number(bytes.size()), QString::number(maxInputBytes)));
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

    if (!document.earlierCopy && !QTextCodec::codecForUtfText(bytes, nullptr))
        check_misread(f, section, bytes, readIn, readAs, QStringLiteral("INXMLENC"));

    // Each value as written and as the pass decodes it, title first.
    struct Value {
        QString tag, written, decoded;
    };
    std::array<Value, 2> values{
        {{QStringLiteral("NAME"), {}, {}}, {QStringLiteral("ARTIST"), {}, {}}}};
    for (Value &v : values) {
        v.written = extract(*text, v.tag);
        v.decoded = decode_xml_text(v.written);
    }
    // What goes on air when a value is missing, as the pass makes it.
    const QString title = on_air_value(values[0].decoded);
    const QString artist = on_air_value(values[1].decoded);
    const QString onAir =
        QStringLiteral("on air the META text is %1 and the RDS text %2")
            .arg(visible(meta_text(artist, settings.metaSplitter, title)),
                 visible(rds_text(latin_forms(artist, title, QString()), settings.rdsSplitter)));
    for (const Value &v : values) {
        const QString &name = v.tag, &written = v.written, &value = v.decoded;
        if (on_air_value(value).isEmpty()) {
            f.add(section, Level::Warning, QStringLiteral("no %1 value: %2").arg(name, onAir));
            check_near_miss(f, section, *text, name);
        } else {
            f.add(section, Level::Ok, QStringLiteral("%1 = %2").arg(name, visible(value)));
        }
        if (written != value)
            f.add(section, Level::Note,
                  QStringLiteral("%1 is written %2 in the document: the pass decodes it")
                      .arg(name, visible(written)));
        check_untidy_value(f, section, name, value);
        check_repeated_elements(f, section, *text, name);
    }
}
