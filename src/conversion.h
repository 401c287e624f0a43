#pragma once

#include <QString>

// Artist and title as they go to the RDS file.
struct LatinForms {
    QString engArtist;
    QString engName;
};

// Both become "-" when either the title or the artist is empty; otherwise
// both are transliterated and every ";" in the title becomes ", ".
LatinForms latin_forms(QString rusArtist, QString rusName, QString rusLetters);

// The META file's text: artist, splitter and title as in the document.
QString meta_text(QString rusArtist, QString metaSplitter, QString rusName);

// The RDS file's text: the Latin artist, splitter and Latin title.
QString rds_text(LatinForms eng, QString rdsSplitter);

// Where the encoding name stands in the text: between the quotes (" or ')
// right after the first "encoding=". A start of -1 means there is none.
struct NameSpan {
    int start = -1;
    int length = 0;
};
NameSpan declared_encoding(const QString &text);

// The document text with the encoding name of its first `encoding="..."`
// (or '...') replaced by `outXmlEnc`, when the input and output names
// differ. Without such a quoted value the text is returned unchanged.
QString rewrite_encoding(QString stringFromFile, QString inXmlEnc, QString outXmlEnc);
