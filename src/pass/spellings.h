// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

// A station's own spellings (SPELLINGS in settings.txt names the file):
// lines "Сплин = Splean", whole words or phrases matched in the artist and
// the title without regard to case, and the Latin they are written in
// instead of their transliteration. Blank lines and lines that start with
// "#" are remarks.

struct Spelling {
    QString written; // as the document has it (any case)
    QString latin;   // as the station writes it
    int line = 0;    // in the file, from 1
};

struct Spellings {
    std::vector<Spelling> entries;
    // The entries by their spelling_key (the first of two alike).
    QHash<QString, int> byText;
    // For each first word's key, how many words its entries have,
    // the most first: what to look up where a word starts.
    QHash<QString, QVector<int>> wordCounts;
    // The lines that could not be read: "line 12: no \" = \" in it".
    QStringList problems;
};

// A text as spellings compare it: each UTF-16 unit case-folded on its
// own, so that "СПЛИН", "сплин" and "Сплин" are one key.
QString spelling_key(QStringView text);

// The spellings in a file's text. With `onlyIn`, only the entries each of
// whose words is a word of it (in any case) are kept, and only their lines
// are reported when unreadable: a pass reads thousands of lines for one
// artist and title, and keeps the few that can match.
Spellings read_spellings(const QString &text, const QString *onlyIn = nullptr);

// Where spellings apply in `text`, from its start: each a whole word or
// phrase (bounded by what is not a letter or digit), the longest that
// matches at each place, never two overlapping.
struct SpelledPart {
    int start = 0;
    int length = 0;
    QString latin; // in capitals when the text matched is all capitals
    int line = 0;
};
QVector<SpelledPart> spelled_parts(const QString &text, const Spellings &spellings);
