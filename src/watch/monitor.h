// SPDX-License-Identifier: MIT
#pragma once

#include "destination_status.h"
#include "pass.h"
#include "watcher_state.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// What one pass did, for the monitor.
struct PassReport {
    QDateTime time;
    PassOutcome outcome = PassOutcome::Written;
    double seconds = 0;             // how long it took
    std::optional<OnAirText> onAir; // what went on air, when it was written
    QStringList destinations;       // the tags the settings name now
};

// Where the monitor keeps what it knows: each file may be empty (none).
struct MonitorFiles {
    QString status;  // --status: JSON (status_json)
    QString metrics; // --metrics: Prometheus' text format (metrics_text)
    QString page;    // --status-page: HTML (status_page_html)
};

// What watches the watcher: every station's passes, destinations, source
// and notifications, kept for the status file, the metrics and the status
// page, and for the one-line status the service manager shows. Stations
// report from their own threads. The files are written beside and renamed
// into place by write(), which the program calls on a timer: after a
// change at most every minGapMs, and at least every heartbeatMs while
// nothing changes; stop() writes them a last time, stopped.
class Monitor {
public:
    using Clock = std::function<QDateTime()>;

    explicit Monitor(const MonitorFiles &files, Clock clock = &QDateTime::currentDateTime);

    static constexpr int minGapMs = 250;

    void station(const QString &name, const QString &folder);
    void pass(const QString &station, const PassReport &report);
    // What a site that follows its studio put on air.
    void followed(const QString &station, const OnAirText &onAir);
    void source(const QString &station, const SourceStatus &status);
    void destination(const QString &station, const DestinationStatus &status);
    // Whether the station's changes are told or looked for, and why.
    void watching(const QString &station, bool polling, const QString &why);

    // Writes the files when they are due; the first call writes them
    // whatever. Nothing when they were not due; otherwise the reason of the
    // first that could not be written, or an empty string.
    std::optional<QString> write();
    // write(), and what of it the log is told: "cannot write ..." at the
    // first failure of a streak, and its end; empty otherwise.
    QString write_and_tell();
    // The watcher stopped cleanly: the files say so, with the time of the
    // first call. Called again, they are written once more (the sends that
    // were in flight at the stop have their outcome by then), stopped at
    // that same time.
    void stop();

    // A copy of what it knows, its heartbeat now.
    WatcherState snapshot() const;
    // `on air: "Kino - Kukushka"; SEND2 failing since 10:42`.
    QString summary() const;
    // Whether every station has made its first pass (or follows a studio).
    bool all_started() const;

private:
    StationState &find(const QString &name); // with mutex_ held
    void changed();                          // with mutex_ held

    MonitorFiles files_;
    Clock clock_;
    mutable QMutex mutex_;
    WatcherState state_;
    bool dirty_ = true;
    QDateTime lastWrite_;
    QString lastRefusal_; // write_and_tell's streak
};
