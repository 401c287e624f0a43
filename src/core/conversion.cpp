// SPDX-License-Identifier: MIT
#include "conversion.h"

#include "text_file.h"
#include "transliteration.h"
#include "xml_text.h"

LatinForms latin_forms(const QString &artist, const QString &title, const QString &letters)
{
    if (title.isEmpty() || artist.isEmpty())
        return {QStringLiteral("-"), QStringLiteral("-")};
    QString latinTitle = transliterate(title, letters);
    latinTitle.replace(QLatin1Char(';'), QLatin1String(", "));
    return {transliterate(artist, letters), latinTitle};
}

QString meta_text(const QString &artist, const QString &splitter, const QString &title)
{
    return artist + splitter + title;
}

QString rds_text(const LatinForms &latin, const QString &splitter)
{
    return latin.artist + splitter + latin.title;
}

namespace {

int skip_space(const QString &text, int at, int end)
{
    while (at < end && is_xml_space(text.at(at)))
        ++at;
    return at;
}

bool is_name_char(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
           c == QLatin1Char(':') || c == QLatin1Char('.');
}

} // namespace

NameSpan declared_encoding(const QString &document)
{
    const QLatin1String xmlDecl("<?xml");
    int at = skip_space(document, 0, document.size());
    if (!QStringView(document).mid(at).startsWith(xmlDecl))
        return {};
    at += xmlDecl.size();
    // "<?xml-stylesheet ...?>" is another processing instruction.
    if (at >= document.size() || !is_xml_space(document.at(at)))
        return {};
    const int end = document.indexOf(QLatin1String("?>"), at);
    if (end < 0)
        return {};
    // Pseudo-attributes one after the other: name, "=", quoted value.
    for (;;) {
        at = skip_space(document, at, end);
        const int nameStart = at;
        while (at < end && is_name_char(document.at(at)))
            ++at;
        if (at == nameStart)
            return {};
        const QStringView name = QStringView(document).mid(nameStart, at - nameStart);
        at = skip_space(document, at, end);
        if (at >= end || document.at(at) != QLatin1Char('='))
            return {};
        at = skip_space(document, at + 1, end);
        if (at >= end ||
            (document.at(at) != QLatin1Char('"') && document.at(at) != QLatin1Char('\'')))
            return {};
        const int close = document.indexOf(document.at(at), at + 1);
        if (close < 0 || close >= end)
            return {};
        if (name == QLatin1String("encoding"))
            return {at + 1, close - at - 1};
        at = close + 1;
    }
}

QString rewrite_declaration(QString document, QTextCodec *copyCodec, const QString &copyName)
{
    const NameSpan span = declared_encoding(document);
    if (span.start < 0)
        return document;
    if (codec_for_name(document.mid(span.start, span.length)) == copyCodec)
        return document;
    return document.replace(span.start, span.length, copyName);
}
