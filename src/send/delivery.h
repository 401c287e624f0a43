// SPDX-License-Identifier: MIT
#pragma once

#include "backoff.h"
#include "on_air_text.h"

#include <QString>

#include <optional>

// One destination's rules for what to send and when, with the time given by
// the caller (milliseconds on a steady clock) and no network or timers of
// its own, so that every rule can be tried in process:
// - only the newest text waits to be sent: a text replaced before it could
//   be sent is never sent;
// - the same text is not sent twice in a row, unless `everyMs` asks for the
//   last one again that often (for receivers that forget it);
// - a failed send is tried again after a pause that grows from 1 s to 60 s
//   (a newer text, if one came meanwhile, instead of the failed one);
// - one send at a time.
class Delivery {
public:
    // A text and what tells it apart from another for this destination (what
    // it is sent as); an empty key is nothing to send.
    struct Item {
        OnAirText text;
        QString key;
    };

    // How a send ended, for the log: whether it was delivered, how many
    // sends had failed in a row before it, and the pause before the next
    // try when it failed.
    struct Finished {
        bool delivered = false;
        int failuresBefore = 0;
        int pauseMs = 0;
    };

    static constexpr int firstPauseMs = 1000;
    static constexpr int longestPauseMs = 60000;

    explicit Delivery(int everyMs);

    // The text of a pass, at `nowMs`.
    void offer(const Item &item, qint64 nowMs);
    // The text to send at `nowMs`, if one is due; it is in flight until
    // finished() is called.
    std::optional<Item> take(qint64 nowMs);
    // When take() will next have something to send, if nothing is offered
    // meanwhile; nothing while a send is in flight or nothing waits.
    std::optional<qint64> next_due(qint64 nowMs) const;
    // The send in flight ended at `nowMs`.
    Finished finished(bool delivered, qint64 nowMs);
    // No more retries or resends: what waits is dropped.
    void wind_down();

    bool in_flight() const
    {
        return inFlight_.has_value();
    }

private:
    int everyMs_;
    Backoff backoff_{firstPauseMs, longestPauseMs};
    std::optional<Item> pending_;   // the newest text not yet sent
    std::optional<Item> inFlight_;  // the text being sent
    std::optional<Item> delivered_; // the last text the destination took
    std::optional<qint64> retryAt_; // while a failed send waits for its pause
    std::optional<qint64> everyAt_; // when the last text is due again
    int failures_ = 0;              // failed sends since the last delivery
    bool woundDown_ = false;
};
