#pragma once

#include <QString>

// Number of letters the fixed Latin table stands for: 32 lower-case Russian
// letters without ё, then their 32 capitals.
constexpr int letterCount = 64;

// The letters the table is made for, in table order: what "rusletters.txt"
// should hold.
QString usual_russian_letters();

// Replaces every character of `a` that stands at position k < 64 of the
// letters text `d` by entry k of the table; a character found at several
// positions gives all their outputs, lowest position first. Characters not
// in the letters text pass through unchanged.
QString change_letters_test(QString a, QString d);
