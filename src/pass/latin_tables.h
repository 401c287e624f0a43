// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The national romanizations a station's RDS text may be written in
// (LATIN in settings.txt), each a table of data: rows of Cyrillic (a
// letter, or a sequence of letters) and the Latin they become, written in
// lower case, each with where in a word it applies. Capitals follow from
// the lower-case rows. A further language is a table and its rows.

enum class WordPlace {
    Anywhere,
    WordStart,      // the first letter of a word (after a blank, a hyphen, ...)
    NotWordStart,   // anywhere but at the start of a word
    WordEnd,        // the last letters of a word
    BetweenLetters, // with a Cyrillic letter before and after it (an apostrophe inside a word)
    WholeWord,      // a word of its own (a name the system spells as an exception)
};

struct LatinRow {
    const char16_t *cyrillic; // lower case; one letter or a sequence
    const char *latin;        // lower case, UTF-8; empty: dropped
    WordPlace place;
};

struct LatinTable {
    const char *code;   // as LATIN names it: "uk"
    const char *name;   // "Ukrainian"
    const char *system; // the official system it follows
    // Lower-case letters that Russian lacks and that tell a text is in
    // this language (or one that shares them); empty: none that do.
    const char16_t *ownLetters;
    const LatinRow *rows;
    int rowCount;
};

// Every table but Russian's, whose table and letters file are
// transliteration's (LATIN absent, or "ru").
const LatinTable *latin_table(const QString &code);

// Whether the table has a row for the lower-case `letter` on its own.
bool writes_letter(const LatinTable &table, QChar letter);

// The codes LATIN may name, "ru" first.
QStringList latin_codes();

// The languages among the tables' (by name, "Serbian") whose own letters
// the text holds, with the letters found; the language named by `code` is
// left out, and so is every language that shares a found letter with it.
struct ForeignLetters {
    QStringList languages; // "Serbian"
    QStringList codes;     // "sr", in the same order
    QStringList letters;   // each once, as found in the text
};
ForeignLetters foreign_letters(const QString &text, const QString &code);
