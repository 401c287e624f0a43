// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <QDateTime>

// A watcher's status file (nowplaying-watch --status FILE) for a person.
struct StatusReport {
    // The first line says whether the watcher runs, stopped (since when) or
    // has not written for N seconds at `now` (it died), or that its heartbeat
    // is too far ahead of `now` to tell (up to deadAfterMs ahead is the two
    // clocks differing, and fresh); then one line per
    // station and per destination, failing ones first (a site's source
    // among them). Empty for a file that is not such a status.
    QString text;
    // 2 when the watcher stopped or died (or the file is no status), 1 when
    // a station or a destination fails, 0 when all is well.
    int exitStatus = 2;
};
StatusReport status_report(const QByteArray &statusJson, const QDateTime &now);
