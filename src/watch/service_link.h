// SPDX-License-Identifier: MIT
#pragma once

#include "clock.h"
#include "monitor.h"
#include "station.h"

#include <QTimer>

#include <memory>
#include <vector>

// What the service manager sees of a running watcher: ready once every
// station has made its first pass, a one-line status, and the watchdog's
// keep-alive, given only while every station's thread answers (a station
// stuck in a pass stops it, and the service manager restarts the watcher).
// Stations are knocked on only when a watchdog is asked for.
class ServiceLink {
public:
    ServiceLink(const Monitor &monitor, std::vector<std::unique_ptr<Station>> &stations,
                SteadyClock clock);

private:
    void tick();

    const Monitor &monitor_;
    std::vector<std::unique_ptr<Station>> &stations_;
    SteadyClock clock_;
    int watchdogMs_ = 0;
    QTimer tick_;
    bool ready_ = false;
    QString status_;
};
