// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QDateTime;

// `text` as the watcher logs it: the local time `when` first.
QString stamped(const QDateTime &when, const QString &text);

// Prints a log line on standard error; nothing for an empty one.
void log_line(const QString &line);
