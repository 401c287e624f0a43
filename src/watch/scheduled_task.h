// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The Windows Task Scheduler task that keeps the watcher running for a set
// of folders, for those who cannot install a service: started at startup
// under the account that registers it (whether it is logged on or not),
// and again every minute while it is not running (one instance at a time:
// a watcher that died is running again within a minute), with no time
// limit, restarted when it fails to start.

// The task's name: "nowplaying-watch" and the first folder's name (and how
// many more), without the characters a task name may not hold.
QString task_name(const QStringList &folders);

// `arguments` as one Windows command line: each in double quotes when it
// holds a blank, a tab or a quote (or is empty), as CommandLineToArgvW
// reads them back.
QString windows_command_line(const QStringList &arguments);

// The task as Task Scheduler's XML, for `schtasks /Create /XML`: `program`
// (the watcher's own path) run with `arguments` in `workingFolder`, as
// `user`.
QString task_xml(const QString &program, const QStringList &arguments, const QString &workingFolder,
                 const QString &user);

// What schtasks made of a call: whether it worked, and what it said.
struct TaskCall {
    bool done = false;
    QString said;
};

// Registers the task from its XML (replacing one of that name), or
// removes it, with schtasks.
TaskCall register_task(const QString &name, const QString &xml);
TaskCall remove_task(const QString &name);
