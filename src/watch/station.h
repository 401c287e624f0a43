// SPDX-License-Identifier: MIT
#pragma once

#include "watcher.h"

#include <QThread>

#include <atomic>
#include <memory>

// One station of a watcher: its Watcher and destinations in a thread of
// their own, so that one station's slow disk, a pass waiting for a FIFO's
// reader, or its sending never delays another station.
class Station {
public:
    explicit Station(const WatchOptions &options);
    // Waits for the station to finish (finish(), when it was not asked to).
    ~Station();
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    // The first pass, then watching.
    void start();
    // Asks the station to stop without waiting for it: the pass in progress
    // ends first, the sends in flight get at most one timeout. Many stations
    // asked at once finish at once.
    void finish();

    // Asks the station's thread to answer; answered() tells when it last
    // did, on the steady clock: a thread stuck in a pass does not answer.
    void knock();
    qint64 answered() const
    {
        return answered_.load();
    }

private:
    WatchOptions options_;
    QThread thread_;
    std::unique_ptr<QObject> anchor_; // lives in the thread: work is queued to it
    Watcher *watcher_ = nullptr;      // made, used and deleted in the thread
    std::atomic<qint64> answered_{0};
    bool finishing_ = false;
};
