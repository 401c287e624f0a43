// SPDX-License-Identifier: MIT
#include "transliteration.h"

namespace {

const char *const latinTable[letterCount] = {
    "a", "b", "v", "g", "d", "e", "zh", "z",  "i",  "y",  "k", "l", "m", "n", "o",  "p",
    "r", "s", "t", "u", "f", "h", "ts", "ch", "sh", "sh", "",  "i", "'", "e", "yu", "ya",
    "A", "B", "V", "G", "D", "E", "ZH", "Z",  "I",  "Y",  "K", "L", "M", "N", "O",  "P",
    "R", "S", "T", "U", "F", "H", "TS", "CH", "SH", "SH", "",  "I", "'", "E", "YU", "YA",
};

} // namespace

QString usual_russian_letters()
{
    return QStringLiteral("абвгдежзийклмнопрстуфхцчшщъыьэюя"
                          "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
}

QString transliterate(const QString &text, const QString &letters)
{
    // A letters file shorter than the table leaves the tail positions with no
    // letter at all: they match nothing, not even a NUL in the text.
    const int known = qMin(letters.size(), letterCount);
    QString latin;
    latin.reserve(text.size() * 2);
    for (const QChar c : text) {
        bool matched = false;
        for (int k = 0; k < known; ++k) {
            if (c == letters.at(k)) {
                latin += QLatin1String(latinTable[k]);
                matched = true;
            }
        }
        if (!matched)
            latin += c;
    }
    return latin;
}
