// SPDX-License-Identifier: MIT
#pragma once

#include "destination_status.h"
#include "pass.h"

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

// What one pass did, for the monitor.
struct PassReport {
    QDateTime time;
    PassOutcome outcome = PassOutcome::Written;
    double seconds = 0;             // how long it took
    std::optional<OnAirText> onAir; // what went on air, when it was written
    QStringList destinations;       // the tags the settings name now
};

// What watches the watcher: every station's passes and destinations, kept
// for a status file (JSON) and a metrics file (Prometheus' text exposition
// format, for the node exporter's text-file collector), each written beside
// and renamed into place after every pass and every change of a
// destination's status, and for the one-line status the service manager
// shows. Stations report from their own threads.
class Monitor {
public:
    // Either path may be empty: that file is not written.
    Monitor(const QString &statusPath, const QString &metricsPath);

    void station(const QString &name, const QString &folder);
    void pass(const QString &station, const PassReport &report);
    // What a site that follows its studio put on air.
    void followed(const QString &station, const OnAirText &onAir);
    void destination(const QString &station, const DestinationStatus &status);

    // The status file's text, the metrics file's text, and the one line:
    // `on air: "Kino - Kukushka"; SEND2 failing since 10:42`.
    QString status_json() const;
    QString metrics_text() const;
    QString summary() const;
    // Whether every station has made its first pass (or follows a studio).
    bool all_started() const;

private:
    struct Station {
        QString folder;
        QDateTime lastPass;
        QString lastOutcome; // as a metric's label: "written", "cant_open_xml", ...
        QString lastMessage;
        QDateTime lastWritten;
        QString meta, rds;
        std::map<QString, int> passes; // by outcome label
        std::vector<int> buckets;      // pass_seconds, one count per bound
        double secondsSum = 0;
        int passCount = 0;
        std::map<QString, DestinationStatus> destinations; // by tag
        bool started = false;
    };
    void write_files();

    QString statusPath_;
    QString metricsPath_;
    mutable QMutex mutex_;
    std::map<QString, Station> stations_;
};

// A pass outcome as a metric's label: "written", "blocked_hour",
// "cant_open_xml", ...
QString outcome_label(PassOutcome outcome);
