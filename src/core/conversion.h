// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QTextCodec;

// Artist and title as they go to the RDS file.
struct LatinForms {
    QString artist;
    QString title;
};

// Both become "-" when either the title or the artist is empty; otherwise
// both are transliterated against `letters` and every ";" in the title
// becomes ", ".
LatinForms latin_forms(const QString &artist, const QString &title, const QString &letters);

// The META file's text: artist, splitter and title as in the document.
QString meta_text(const QString &artist, const QString &splitter, const QString &title);

// The RDS file's text: the Latin artist, splitter and Latin title.
QString rds_text(const LatinForms &latin, const QString &splitter);

// Where the encoding name stands in the document's XML declaration: the
// document starts (after optional white space) with "<?xml" and white space,
// the declaration ends at the first "?>", and its pseudo-attribute
// `encoding` has a value in quotes (" or '), with optional white space around
// its "=". A start of -1 means there is no such name.
struct NameSpan {
    int start = -1;
    int length = 0;
};
NameSpan declared_encoding(const QString &document);

// The document with its declared encoding name replaced by `copyName`,
// unless that name already resolves to `copyCodec`, the codec the copy is
// written in (another spelling of the same encoding stays as the author
// wrote it). A document without a declared name is returned unchanged.
QString rewrite_declaration(QString document, QTextCodec *copyCodec, const QString &copyName);
