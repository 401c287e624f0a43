// SPDX-License-Identifier: MIT
#pragma once

// How the checker describes values, encodings, tags and files in its
// findings.

#include "pass.h"

#include <QStringList>

class QTextCodec;

// How many items a finding lists before it only counts the rest.
constexpr int maxListed = 6;

// A value in quotes as a terminal shows it and grep finds it: every
// character as itself, but line breaks, tabs, other control characters and
// invisible format characters spelled out (\n, \r, \t, \x07, \u200b), and a
// double quote escaped. A backslash stands as it is, so that a Windows path
// copied from the report (C:\Playout) works as it is. A value of more than
// longestVisible characters shows its first ones and its length, so that a
// document's 16 MiB title does not flood the report.
constexpr int longestVisible = 1024;
QString visible(const QString &value);

// `items` joined by commas, the ones after maxListed only counted.
QString listed(QStringList items);

// "the pass stops with "<message>"".
QString stops_with(PassOutcome outcome);

// The codec's name; the locale encoding's name for null.
QString codec_name(QTextCodec *codec);

// Whether two codecs are one encoding to a reader (UTF-16 with or without
// a stated byte order is one).
bool same_encoding(QTextCodec *a, QTextCodec *b);

// The distinct characters (surrogate pairs kept whole) of `text`, in order.
QStringList characters_of(const QString &text);

// How a tag stands in a text: how often it opens outside comments, whether
// it stands only inside comments, whether the first opening is closed, and
// its value as the pass reads it.
struct TagState {
    int opens = 0;
    bool inCommentOnly = false;
    bool closed = false;
    QString value;
};
TagState tag_state(const QString &text, const QString &tag);

// What a tag that opens `opens` times (more than once) is told: the pass
// reads the first.
QString repeated_tag(const QString &tag, int opens);
