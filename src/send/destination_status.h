// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// How a destination stands, for whoever watches the watcher (a status file,
// metrics, the service manager's status line).
struct DestinationStatus {
    QString tag;   // "SEND1"
    QString shown; // its address without a password
    // "ok" (the last send went through, or none was due), "failing" (the last
    // one did not), "waiting" (a text waits for its turn: min-interval),
    // "delayed" (texts wait for their delay=)
    QString state = QStringLiteral("ok");
    QDateTime since;           // when it came to this state
    QString lastDelivered;     // the last text it took
    QDateTime lastDeliveredAt; // and when
    QString lastError;         // why the last send that failed failed
    int sends = 0;             // sends tried
    int failures = 0;          // sends that failed
    // The send this report is about took its text this long after its
    // pass (milliseconds; -1: not a new text delivered).
    int latencyMs = -1;
};

// A running watcher rewrites its status file and metrics at least this
// often, even when nothing changes...
constexpr int heartbeatMs = 10000;
// ...so that one whose heartbeat is older than this is taken for dead.
constexpr int deadAfterMs = 30000;

// Where a destination reports each change of its status.
using StatusSink = std::function<void(const DestinationStatus &status)>;
