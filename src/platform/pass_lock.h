// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include <chrono>

// Passes in one folder take turns: two passes started at the same moment
// (a playout hook and a scheduler, say) would otherwise truncate and write
// the same outputs at once and leave one pass's text followed by the tail of
// the other's. The lock is an advisory lock on a file the folder already has
// (its "settings.txt"), so nothing is created, nothing is left behind, and a
// pass that dies releases it with its process.
class PassLock {
public:
    // Waits up to `wait` while another pass holds the lock on `path`. After
    // that the pass goes on without it, so that a pass stuck on an output
    // (a FIFO nobody reads) cannot stop every later one; held() tells.
    PassLock(const QString &path, std::chrono::milliseconds wait);
    ~PassLock();
    PassLock(const PassLock &) = delete;
    PassLock &operator=(const PassLock &) = delete;

    bool held() const;
    // The locked file's bytes, read through the lock's own handle, so that
    // a pass opens its settings once; nothing when they cannot be read as
    // an input is (not a file, or larger than maxInputBytes).
    std::optional<QByteArray> read_all() const;

private:
    qintptr handle_ = -1;
    bool held_ = false;
};
