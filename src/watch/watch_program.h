// SPDX-License-Identifier: MIT
#pragma once

#include "monitor.h"

#include <QString>
#include <QStringList>

// nowplaying-watch as a program: its command line read into a plain
// record, and the run that the record asks for.

struct WatchCommand {
    enum class Task { Watch, PrintTask, InstallTask, RemoveTask, InstallService, RemoveService };
    Task task = Task::Watch;
    QString account;        // --account: the service's; empty: LocalService
    bool asService = false; // --service: started by the service control manager
    QStringList folders;    // as given (a trailing quote dropped on Windows)
    int quietMs = 50;
    int pollMs = 0;
    bool errorsOnly = false;
    QString log; // as given; empty: standard error
    qint64 logSizeBytes = 0;
    int logKeep = 0;
    MonitorFiles files; // as given
    // Where the program was started: relative paths of the options are
    // taken from here, whatever folder it serves.
    QString startFolder;
    // Set when the program ends at once: --help or --version answered (0)
    // or a usage error (64, with `error`).
    int exitStatus = -1;
    QString error;
};

// The program's usage, every option with it.
extern const char *const watchUsage;

// Reads QCoreApplication's arguments.
WatchCommand read_watch_command();

// Runs what the command asks for until a stop is requested, and returns
// the exit status: 0 when stopped, 2 for a single FOLDER that cannot be
// entered, 73 for a log, status, metrics or page file that cannot be
// written at start (with its reason), 75 when another watcher serves a
// folder already.
int run_watch(const WatchCommand &command);
