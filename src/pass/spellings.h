// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QSet>
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
    // The entries by their first word in lower case, the longest first.
    QHash<QString, QVector<int>> byFirstWord;
    // The lines that could not be read: "line 12: no \" = \" in it".
    QStringList problems;
};

// The spellings in a file's text. With `wanted` (the lower-case words the
// texts to be spelled hold), only the entries whose first word is among
// them are kept: a pass reads thousands of lines for one title.
Spellings read_spellings(const QString &text, const QSet<QString> *wanted = nullptr);

// The lower-case words of `text` (runs of letters and digits), for
// read_spellings.
QSet<QString> words_of(const QString &text);

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
