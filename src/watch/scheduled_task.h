// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The Windows Task Scheduler task that keeps the watcher running for a set
// of folders: started at startup under the account that registers it
// (whether it is logged on or not), restarted a minute after it fails, with
// no time limit and never twice at once; its log in a file beside the
// first folder's settings.

// The task's name: "nowplaying-watch" and the first folder's name (and how
// many more), without the characters a task name may not hold.
QString task_name(const QStringList &folders);

// The task as Task Scheduler's XML, for `schtasks /Create /XML`: `program`
// (the watcher's own path) run with the folders, as `user`.
QString task_xml(const QString &program, const QStringList &folders, const QString &user);
