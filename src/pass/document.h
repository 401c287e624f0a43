// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

class QTextCodec;

// The document as a pass reads it.
struct DocumentText {
    std::optional<QString> text; // nothing when it cannot be read
    QTextCodec *codec = nullptr; // what it was decoded in, unless a byte-order mark decided
    // It is an earlier pass's copy written over it, read in the copy's
    // encoding rather than the document's.
    bool earlierCopy = false;
};

// Reads the document at `documentPath` in `documentCodec` (the locale
// encoding when null). When the copy at `copyPath` is the document itself,
// a document whose declaration names the copy's encoding (`copyCodec`) while
// `documentCodec` is another is an earlier pass's copy: it is read in
// `copyCodec`, so that every further pass reads and writes the same text
// instead of decoding its own output again and mangling it more each time.
DocumentText read_document(const QString &documentPath, QTextCodec *documentCodec,
                           const QString &copyPath, QTextCodec *copyCodec);

// Whether the document looks whole: not empty (nor only a declaration and
// white space), and every element it opens closed by its end (its root's end
// tag last, as a rule); a text that is not XML is taken as it is. A playout
// program that writes in chunks leaves the end tag off between two of them,
// and one that truncates the file before it writes leaves it empty.
bool document_looks_whole(const QString &document);
