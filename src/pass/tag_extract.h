// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVector>

// The value between the first "<tag>" in `text` and the first "</tag>" after
// it, verbatim: nothing trimmed or decoded, tags matched case-sensitively and
// without attributes. An empty-element tag ("<tag/>", "<tag />") standing
// before the first "<tag>" is an empty value, so that an empty element never
// takes the value of a later one. A comment is not content: tags inside
// "<!--" ... "-->" do not count, and an unclosed "<!--" hides the rest of the
// text. An absent value is the empty string; there is no failure.
QString extract(const QString &text, const QString &tag);

// The literal tags extract looks for: "<tag>" and "</tag>".
QString opening_tag(const QString &tag);
QString closing_tag(const QString &tag);

// Where `needle` stands in `text` outside comments, from left to right.
// One sweep over the text.
QVector<int> positions_outside_comments(const QString &text, const QString &needle);

// The first `needle` at or after `from` (which is outside any comment) that
// is not inside a comment, or -1.
int index_outside_comments(const QString &text, const QString &needle, int from = 0);
