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

// From now on the log goes to `path` (UTF-8), appended; past
// logFileLimitBytes it is renamed to `path` + ".1" (an older one replaced)
// and a new one begun. The system's reason when it cannot be opened (or
// is a link another user planted, planted_link): the log then stays on
// standard error. Empty when it is open.
constexpr qint64 logFileLimitBytes = 1024 * 1024;
QString log_to_file(const QString &path);

// Where a station's log lines go: each stamped with the local time when it
// is logged and, in a group (a `station` name given), that name first.
LogSink station_log(const QString &station);
