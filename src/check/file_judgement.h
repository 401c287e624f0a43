// SPDX-License-Identifier: MIT
#pragma once

// Files judged as the pass will find them, for findings that say why one
// cannot be read or written.

#include <QByteArray>
#include <QString>

// Whether two settings name one file: the same path, or (when the files
// exist) one file reached by links.
bool same_target(const QString &a, const QString &b);

// Whether `path` names a device or FIFO rather than a file (NUL,
// /dev/null): outputs written there are not lost under each other.
bool names_no_file(const QString &path);

// Why an input cannot be read by the pass, as far as can be told without
// reading it.
QString input_problem(const QString &path);

// Why an output cannot be created or written, or an empty string.
QString output_problem(const QString &path);

// The raw bytes the pass reads of `path` (at most maxInputBytes + 1), for
// byte-order marks and encodings; empty when it cannot be read.
QByteArray raw_input_bytes(const QString &path);
