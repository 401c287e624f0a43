// SPDX-License-Identifier: MIT
#include "outside_text.h"

#include "on_air_text.h"

#include <algorithm>

namespace {

const QString ellipsis = QStringLiteral("...");

// The first `limit` code points of `text`, and whether it had more.
QString head_of(const QString &text, int limit, bool &more)
{
    int end = 0;
    for (int count = 0; end < text.size() && count < limit; ++count)
        end += text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                       text.at(end + 1).isLowSurrogate()
                   ? 2
                   : 1;
    more = more || end < text.size();
    return text.left(end);
}

QString quoted(const QString &text, int limit, bool more)
{
    const QString clean = on_air_value(head_of(text, limit, more));
    return more ? clean + ellipsis : clean;
}

} // namespace

QString first_characters(const QString &text, int limit)
{
    bool more = false;
    const QString head = head_of(text, limit, more);
    return more ? head + ellipsis : head;
}

QString quoted_reply(const QString &text, int limit)
{
    return quoted(text, limit, false);
}

QString quoted_reply(const QByteArray &bytes, int limit)
{
    // Four bytes at most per character: what lies past that is never shown,
    // and never decoded.
    const int window = limit * 4;
    return quoted(QString::fromUtf8(bytes.left(window)), limit, bytes.size() > window);
}

QString without_controls(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), is_control))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text)
        if (!is_control(c))
            kept += c;
        else if (c.isSpace())
            kept += QLatin1Char(' ');
    return kept;
}

QString within_utf8_bytes(const QString &text, int bytes)
{
    // Three bytes at most per UTF-16 unit: a text this short always fits.
    if (text.size() * 3 <= bytes || text.toUtf8().size() <= bytes)
        return text;
    int used = int(ellipsis.size());
    int end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        const ushort unit = text.at(end).unicode();
        const int size = pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        if (used + size > bytes)
            break;
        used += size;
        end += pair ? 2 : 1;
    }
    return text.left(end) + ellipsis;
}
