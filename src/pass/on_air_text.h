// SPDX-License-Identifier: MIT
#pragma once

#include "romanization.h"

#include <QDateTime>
#include <QString>

// Title and artist as they go on air, and the texts made of them.

// Artist and title as they go to the RDS file.
struct LatinForms {
    QString artist;
    QString title;
};

// Whether `c` is a control character (U+0000 to U+001F, U+007F to U+009F).
bool is_control(QChar c);

// The number of characters (code points) in `text`, as a receiver counts
// them: an emoji is one.
int character_count(const QString &text);

// `text` without emoji and other pictographs (symbols from the arrows on,
// their modifiers, joiners and variation selectors), the blanks around
// one made one: for a receiver that shows a Latin character set, where
// they would stand as "?".
QString without_pictographs(const QString &text);

// A title or artist as it goes on air, in the META and RDS texts: one line
// without control characters. White space at both ends is removed, each run
// of white space inside (blanks, tabs, line breaks, no-break spaces) becomes
// one blank, and control characters (U+0000 to U+001F, U+007F to U+009F)
// that are not white space are dropped.
QString on_air_value(const QString &value);

// Both become "-" when either the title or the artist is empty; otherwise
// both are written in Latin letters as `romanization` has them (the
// station's spellings, its language's table or the letters file), and
// every ";" in the title becomes ", ".
LatinForms latin_forms(const QString &artist, const QString &title,
                       const Romanization &romanization);

// A title's Latin form alone, as latin_forms makes it when both are there
// (empty for an empty title).
QString latin_title(const QString &title, const Romanization &romanization);

// The META file's text: artist, splitter and title as in the document.
QString meta_text(const QString &artist, const QString &splitter, const QString &title);

// The RDS file's text: the Latin artist, splitter and Latin title.
QString rds_text(const LatinForms &latin, const QString &splitter);

// What a pass puts on air, for those who carry it on (stream servers, RDS
// encoders): title and artist as the META file has them, their Latin forms
// as the RDS file has them (without the "-" that stands in for a missing
// one), the splitters, and both files' texts.
struct OnAirText {
    QString artist;
    QString title;
    QString latinArtist;
    QString latinTitle;
    QString metaSplitter;
    QString rdsSplitter;
    QString meta;   // the META file's text
    QString rds;    // the RDS file's text
    QDateTime time; // when the pass was made
    // For destinations whose text is a template: the document the pass read
    // (its other elements), and how it writes Latin letters.
    QString document;
    Romanization latin;
};
