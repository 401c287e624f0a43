// SPDX-License-Identifier: MIT
#pragma once

// What the checker's parts share: the sections of the report, the list of
// findings, and the way values and files are described in it.

#include "config_check.h"
#include "pass.h"
#include "send_request.h"

#include <QStringList>

class QTextCodec;

extern const QString settingsSection;
extern const QString encodingsSection;
extern const QString hoursSection;
extern const QString lettersSection;
extern const QString outputsSection;
extern const QString watchingSection;
extern const QString previewSection;
extern const QString sendingSection;
extern const QString sendTestSection;

// How many items a finding lists before it only counts the rest.
constexpr int maxListed = 6;

struct Findings {
    QList<Finding> list;
    void add(const QString &section, Level level, const QString &text)
    {
        list.append({section, level, text});
    }
};

// A value in quotes as a terminal shows it and grep finds it: every
// character as itself, but line breaks, tabs, other control characters and
// invisible format characters spelled out (\n, \r, \t, \x07, \u200b), and a
// double quote escaped. A backslash stands as it is, so that a Windows path
// copied from the report (C:\Playout) works as it is.
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

// Whether two settings name one file: the same path, or (when the files
// exist) one file reached by links.
bool same_target(const QString &a, const QString &b);

// Why an input cannot be read by the pass, as far as can be told without
// reading it.
QString input_problem(const QString &path);

// Why an output cannot be created or written, or an empty string.
QString output_problem(const QString &path);

// The raw bytes the pass reads of `path` (at most maxInputBytes + 1), for
// byte-order marks and encodings; empty when it cannot be read.
QByteArray first_bytes(const QString &path);

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
