// SPDX-License-Identifier: MIT
#include "xml_text.h"

namespace {

const QLatin1String cdataOpen("<![CDATA[");
const QLatin1String cdataClose("]]>");
const QLatin1String commentOpen("<!--");
const QLatin1String commentClose("-->");

const struct {
    QLatin1String name;
    char character;
} predefinedEntities[] = {{QLatin1String("amp"), '&'},
                          {QLatin1String("lt"), '<'},
                          {QLatin1String("gt"), '>'},
                          {QLatin1String("quot"), '"'},
                          {QLatin1String("apos"), '\''}};

int digit_value(QChar c, int base)
{
    const ushort u = c.unicode();
    int value = 99;
    if (u >= '0' && u <= '9')
        value = u - '0';
    else if (u >= 'a' && u <= 'f')
        value = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        value = u - 'A' + 10;
    return value < base ? value : -1;
}

// The code point of a character reference's body ("#65" or "#x41"), or 0
// when it is malformed or names no character XML allows here.
char32_t referenced_code_point(QStringView body)
{
    int base = 10;
    body = body.mid(1);
    if (body.startsWith(QLatin1Char('x'))) {
        base = 16;
        body = body.mid(1);
    }
    if (body.isEmpty())
        return 0;
    char32_t code = 0;
    for (const QChar c : body) {
        const int digit = digit_value(c, base);
        if (digit < 0)
            return 0;
        code = code * base + char32_t(digit);
        if (code > 0x10FFFF)
            return 0; // also keeps a long run of digits from overflowing
    }
    if (code >= 0xD800 && code <= 0xDFFF)
        return 0;
    return code;
}

// What the reference `body` (between "&" and ";") stands for, or a null
// string when it is not one that is decoded.
QString reference_text(QStringView body)
{
    for (const auto &entity : predefinedEntities)
        if (body == entity.name)
            return QString(QLatin1Char(entity.character));
    if (!body.startsWith(QLatin1Char('#')))
        return QString();
    const char32_t code = referenced_code_point(body);
    return code ? QString::fromUcs4(&code, 1) : QString();
}

// The end of the reference that starts with the "&" at `at`: the ";" after a
// run of letters, digits and "#", or -1. Stopping at the first other
// character keeps a value full of "&" from being searched over and over.
int reference_end(const QString &value, int at)
{
    int end = at + 1;
    while (end < value.size() &&
           (value.at(end).isLetterOrNumber() || value.at(end) == QLatin1Char('#')))
        ++end;
    return end < value.size() && value.at(end) == QLatin1Char(';') ? end : -1;
}

} // namespace

bool is_xml_space(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

QString decode_xml_text(const QString &value)
{
    QString text;
    text.reserve(value.size());
    // Once a CDATA section or comment has no end, no later one has either.
    bool cdataCanClose = true;
    bool commentCanClose = true;
    int at = 0;
    while (at < value.size()) {
        const QChar c = value.at(at);
        if (c == QLatin1Char('<') && cdataCanClose &&
            QStringView(value).mid(at).startsWith(cdataOpen)) {
            const int start = at + cdataOpen.size();
            const int close = value.indexOf(cdataClose, start);
            if (close >= 0) {
                text.append(value.constData() + start, close - start);
                at = close + cdataClose.size();
                continue;
            }
            cdataCanClose = false;
        } else if (c == QLatin1Char('<') && commentCanClose &&
                   QStringView(value).mid(at).startsWith(commentOpen)) {
            const int close = value.indexOf(commentClose, at + commentOpen.size());
            if (close >= 0) {
                at = close + commentClose.size();
                continue;
            }
            commentCanClose = false;
        } else if (c == QLatin1Char('&')) {
            const int semicolon = reference_end(value, at);
            if (semicolon > at + 1) {
                const QString decoded =
                    reference_text(QStringView(value).mid(at + 1, semicolon - at - 1));
                if (!decoded.isNull()) {
                    text += decoded;
                    at = semicolon + 1;
                    continue;
                }
            }
        }
        text += c;
        ++at;
    }
    return text;
}
