// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Number of letters the fixed Latin table stands for: 32 lower-case Russian
// letters without ё, then their 32 capitals.
constexpr int letterCount = 64;

// The letters the table is made for, in table order: what "rusletters.txt"
// should hold.
QString usual_russian_letters();

// Replaces every character of `text` that stands at position k < 64 of
// `letters` (the letters file) by entry k of the table; a character found at
// several positions gives all their outputs, lowest position first. A
// character not among the letters gets its built-in Latin form when it has
// one (ё, the Ukrainian, Belarusian, Serbian and Macedonian letters of
// windows-1251, typographic quotes, dashes and signs), and otherwise passes
// through unchanged. A form of two or more capitals (ZH for Ж) is written
// with only its first letter capital before a lower-case letter (Zhanna),
// as names are written, and in capitals elsewhere (ZHANNA, ZH.).
QString transliterate(const QString &text, const QString &letters);

// The Latin form of `c` (followed by `next`) by the Russian table against
// `letters` and the built-in forms, as transliterate writes it; false
// when it has none (transliterate passes it through).
bool russian_form(QChar c, QChar next, const QString &letters, QString &form);
