// SPDX-License-Identifier: MIT
#pragma once

#include "log_sink.h"

#include <QString>

class QDateTime;

// `text` as the watcher logs it: the local time `when` first.
QString stamped(const QDateTime &when, const QString &text);

// Prints a log line on standard error, whole even when several threads log
// at once; nothing for an empty one.
void log_line(const QString &line);

// Where a station's log lines go: each stamped with the local time when it
// is logged and, in a group (a `station` name given), that name first.
LogSink station_log(const QString &station);
