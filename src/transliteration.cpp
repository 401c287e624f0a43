#include "transliteration.h"

namespace {

const char *const engLetters[letterCount] = {
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

QString change_letters_test(QString a, QString d)
{
    // A letters file shorter than the table leaves the tail positions with no
    // letter at all: they match nothing, not even a NUL in the title.
    const int known = qMin(d.size(), letterCount);
    QString result;
    result.reserve(a.size() * 2);
    for (const QChar c : a) {
        int matches = 0;
        for (int k = 0; k < known; ++k) {
            if (c == d.at(k)) {
                result += QLatin1String(engLetters[k]);
                ++matches;
            }
        }
        if (matches == 0)
            result += c;
    }
    return result;
}
