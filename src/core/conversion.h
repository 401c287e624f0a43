// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QTextCodec;

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

// A title or artist as it goes on air, in the META and RDS texts: one line
// without control characters. White space at both ends is removed, each run
// of white space inside (blanks, tabs, line breaks, no-break spaces) becomes
// one blank, and control characters (U+0000 to U+001F, U+007F to U+009F)
// that are not white space are dropped.
QString on_air_value(const QString &value);

// Both become "-" when either the title or the artist is empty; otherwise
// both are transliterated against `letters` and every ";" in the title
// becomes ", ".
LatinForms latin_forms(const QString &artist, const QString &title, const QString &letters);

// A title's Latin form alone, as latin_forms makes it when both are there
// (empty for an empty title).
QString latin_title(const QString &title, const QString &letters);

// The META file's text: artist, splitter and title as in the document.
QString meta_text(const QString &artist, const QString &splitter, const QString &title);

// The RDS file's text: the Latin artist, splitter and Latin title.
QString rds_text(const LatinForms &latin, const QString &splitter);

// A part of a text; a start of -1 means there is none.
struct NameSpan {
    int start = -1;
    int length = 0;
};

// The document's XML declaration, "?>" included: the document starts (after
// optional white space) with "<?xml" and white space, and the declaration
// ends at the first "?>".
NameSpan xml_declaration(const QString &document);

// The encoding name in the XML declaration: the value in quotes (" or ') of
// its pseudo-attribute `encoding`, with optional white space around its "=".
NameSpan declared_encoding(const QString &document);

// The codec the copy is written in and the encoding name its declaration
// gets: OUTXMLENC's codec and OUTXMLENC without white space at its ends, or,
// when OUTXMLENC is empty or unknown, the locale encoding and its name.
struct CopyEncoding {
    QTextCodec *codec;
    QString name;
};
CopyEncoding copy_encoding(const QString &setting);

// The document with its declared encoding name replaced by `copyName`,
// unless that name already resolves to `copyCodec`, the codec the copy is
// written in (another spelling of the same encoding stays as the author
// wrote it). A document without a declared name is returned unchanged.
QString rewrite_declaration(QString document, QTextCodec *copyCodec, const QString &copyName);
