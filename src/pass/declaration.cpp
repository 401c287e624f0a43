// SPDX-License-Identifier: MIT
#include "declaration.h"

#include "encoding.h"
#include "program_setup.h"
#include "xml_text.h"

#include <QTextCodec>

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

NameSpan xml_declaration(const QString &document)
{
    const QLatin1String xmlDecl("<?xml");
    const int start = skip_space(document, 0, document.size());
    if (!QStringView(document).mid(start).startsWith(xmlDecl))
        return {};
    const int afterName = start + xmlDecl.size();
    // "<?xml-stylesheet ...?>" is another processing instruction.
    if (afterName >= document.size() || !is_xml_space(document.at(afterName)))
        return {};
    const int end = document.indexOf(QLatin1String("?>"), afterName);
    if (end < 0)
        return {};
    return {start, end + 2 - start};
}

NameSpan declared_encoding(const QString &document)
{
    const NameSpan declaration = xml_declaration(document);
    if (declaration.start < 0)
        return {};
    int at = declaration.start + 5; // past "<?xml"
    const int end = declaration.start + declaration.length - 2;
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

CopyEncoding copy_encoding(const QString &setting)
{
    if (QTextCodec *codec = codec_for_name(setting))
        return {codec, setting.trimmed()};
    return {QTextCodec::codecForLocale(), locale_encoding_name()};
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
