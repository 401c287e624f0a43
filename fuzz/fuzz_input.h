// SPDX-License-Identifier: MIT
#pragma once
// Splitting one fuzzer input into several texts.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

// Parts are separated by this line, so that a seed is readable as text.
inline const QByteArray partSeparator = "\n=====\n";

// Exactly `count` parts; missing ones are empty, the last takes the rest.
inline QList<QByteArray> split_parts(const uint8_t *data, size_t size, int count)
{
    QByteArray rest(reinterpret_cast<const char *>(data), int(size));
    QList<QByteArray> parts;
    while (parts.size() < count - 1) {
        const int at = rest.indexOf(partSeparator);
        parts << (at < 0 ? rest : rest.left(at));
        rest = at < 0 ? QByteArray() : rest.mid(at + partSeparator.size());
    }
    parts << rest;
    return parts;
}

// The first byte picks how the rest becomes text: UTF-8, or raw UTF-16 code
// units (which reaches lone surrogates and any other unit value).
inline QString to_text(const QByteArray &bytes)
{
    if (bytes.isEmpty() || !(bytes[0] & 1))
        return QString::fromUtf8(bytes.mid(bytes.isEmpty() ? 0 : 1));
    const QByteArray units = bytes.mid(1);
    return QString(reinterpret_cast<const QChar *>(units.constData()), units.size() / 2);
}
