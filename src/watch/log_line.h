// SPDX-License-Identifier: MIT
#pragma once

#include "log_sink.h"

#include <QString>

class QDateTime;

// `text` as the watcher logs it: the local time `when` first.
QString stamped(const QDateTime &when, const QString &text);

// Logs a line, whole even when several threads log at once: on standard
// error, or appended to the log file when there is one; a line longer than
// longestShownBytes is cut to it. Nothing for an empty line.
void log_line(const QString &line);

// From now on the log goes to `path` (UTF-8), appended; past `sizeBytes`
// it is renamed to `path`.1 (the one before to .2, and so on, `keep` old
// files in all) and a new one begun. The system's reason when it cannot be
// opened (or is a link another user planted, planted_link): the log then
// stays on standard error. Empty when it is open.
QString log_to_file(const QString &path, qint64 sizeBytes, int keep);

// What the log keeps by default: 10 files of 10 MiB beside the one being
// written, about 110 MiB, which holds (measured with bench/log-size) more
// than two days of a group of 15 busy stations.
constexpr qint64 defaultLogSizeBytes = 10 * 1024 * 1024;
constexpr int defaultLogKeep = 10;

// Where a station's log lines go: each stamped with the local time when it
// is logged and, in a group (a `station` name given), that name first.
LogSink station_log(const QString &station);
