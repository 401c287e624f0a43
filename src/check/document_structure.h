// SPDX-License-Identifier: MIT
#pragma once

// Where things stand in a document, for findings that point at a line:
// lines, the elements around a position, comments.

#include <QString>
#include <QVector>

// The line (from 1) that `position` stands on.
int line_of(const QString &text, int position);

// An element around a position: its name and the line of its start tag;
// no name at the top level.
struct Enclosing {
    QString name;
    int line = 0;
};

// The innermost element open at each of `positions` (in ascending order),
// found in one sweep up to the last of them: start and end tags counted,
// comments, CDATA sections, processing instructions and declarations
// skipped.
QVector<Enclosing> enclosing_elements(const QString &text, const QVector<int> &positions);

// Where the elements `tag` the pass knows ("<tag>", "<tag/>", "<tag />")
// stand outside comments, the first `limit` of them.
QVector<int> elements_of(const QString &text, const QString &tag, int limit);

// Whether `position` is inside a comment. Comments do not nest: one ends
// at the first "-->", so the last "<!--" before the position decides.
bool inside_comment(const QString &text, int position);
