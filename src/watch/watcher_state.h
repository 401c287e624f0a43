// SPDX-License-Identifier: MIT
#pragma once

#include "destination_status.h"
#include "pass.h"

#include <QDateTime>
#include <QString>

#include <deque>
#include <map>
#include <optional>
#include <vector>

// What watches the watcher knows: plain records, copied out of the monitor
// and turned into a status file, metrics and a status page by free
// functions.

// Where a site that follows its studio (FOLLOW) takes its now-playing from.
struct SourceStatus {
    QString address;                            // the broker and topic, as they may be shown
    bool connected = false;                     // to the broker
    QDateTime since;                            // connected or not since then
    QString brokerError;                        // why it is not connected, when it is not
    QString studio = QStringLiteral("unknown"); // "online", "offline" or "unknown"
    QDateTime studioSince;
    QDateTime lastMessageAt; // the last now-playing message taken
    QString lastMessage;     // its META text
};

// One station (a folder) of the watcher.
struct StationState {
    QString name;
    QString folder;
    bool started = false; // it has made its first pass (or follows a studio)
    QDateTime lastPass;
    QString lastOutcome; // as a metric's label: "written", "cant_open_xml", ...
    QString lastMessage; // the pass's own message, empty for written
    QDateTime lastWritten;
    QString artist, title, meta, rds; // what the last pass that wrote put on air
    std::map<QString, int> passes;    // by outcome label
    std::vector<int> buckets;         // pass_seconds, one count per bound
    double secondsSum = 0;
    int passCount = 0;
    std::map<QString, DestinationStatus> destinations; // by tag
    bool polling = false;                              // its changes are looked for, not told
    QString pollingWhy;
    std::optional<SourceStatus> source; // a site's
    std::deque<int> latenciesMs;        // the last sends' pass-to-send times, oldest first
};

// The watcher as a whole.
struct WatcherState {
    QString version;
    QDateTime started;
    QDateTime heartbeat; // when this was written
    bool running = true; // false once it has stopped cleanly
    QDateTime stopped;
    std::vector<StationState> stations; // in the order they were given
};

// The upper bounds of the pass time histogram, in seconds.
extern const std::vector<double> passSecondsBounds;

// How many pass-to-send times a station keeps for the page's chart.
constexpr int keptLatencies = 60;

// A pass outcome as a metric's label: "written", "blocked_hour",
// "cant_open_xml", ...
QString outcome_label(PassOutcome outcome);
