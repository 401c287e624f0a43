// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

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

// Where the encoding name stands in the document: between the quotes (" or ')
// right after the first "encoding=". A start of -1 means there is none.
struct NameSpan {
    int start = -1;
    int length = 0;
};
NameSpan declared_encoding(const QString &document);

// The document with the encoding name of its first `encoding="..."` (or
// '...') replaced by `copyEncoding`, when the document's and the copy's
// encoding settings differ. Without such a quoted value the document is
// returned unchanged.
QString rewrite_encoding(QString document, const QString &documentEncoding,
                         const QString &copyEncoding);
