// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QTextCodec;

// The document's XML declaration, and the encoding name it carries, which
// the copy's declaration changes.

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
