// SPDX-License-Identifier: MIT
#pragma once

#include "backoff.h"
#include "on_air_text.h"

#include <QString>

#include <deque>
#include <optional>

// One destination's rules for what to send and when, with the time given by
// the caller (milliseconds on a steady clock) and no network or timers of
// its own, so that every rule can be tried in process:
// - with a delay, each text is taken up that long after its pass, every
//   text in order at its own time; the same text again does not restart
//   its clock;
// - only the newest text waits to be sent: a text replaced before it could
//   be sent is never sent;
// - the same text is not sent twice in a row, unless `everyMs` asks for the
//   last one again that often (for receivers that forget it);
// - a failed send is tried again after a pause that grows from 1 s to 60 s
//   (`longestRetryMs`: 2 s for a broker, which is cheap to try; at once
//   60 s for a refused password); a new text is tried at once;
// - with `confirmWhenBack`, the text that ends a streak of failures is sent
//   once more confirmAfterBackMs later: an encoder that wakes from a hang
//   may still read what it was sent before (its system keeps a reset
//   connection's unread bytes), in any order;
// - at most one send per minimum interval, and one at a time.
class Delivery {
public:
    // A text and what tells it apart from another for this destination (what
    // it is sent as); an empty key is nothing to send. `id` stays the same
    // for every try of it.
    struct Item {
        OnAirText text;
        QString key;
        QString id;
        bool repeat = false; // sent again for every=, not new
    };

    // How a send ended, for the log: whether it was delivered, whether it
    // was a repeat, how many sends had failed in a row before it, and the
    // pause before the next try when it failed.
    struct Finished {
        bool delivered = false;
        bool repeat = false;
        int failuresBefore = 0;
        int pauseMs = 0;
    };

    struct Rules {
        int everyMs = 0;
        int delayMs = 0;
        int minIntervalMs = 0;
        bool confirmWhenBack = false;
        int longestRetryMs = 60000;
    };

    static constexpr int firstPauseMs = 1000;
    static constexpr int longestPauseMs = 60000;
    static constexpr int confirmAfterBackMs = 2000;

    explicit Delivery(const Rules &rules);

    // The text of a pass, at `nowMs`.
    void offer(const Item &item, qint64 nowMs);
    // The text to send at `nowMs`, if one is due; it is in flight until
    // finished() is called.
    std::optional<Item> take(qint64 nowMs);
    // When take() will next have something to send, if nothing is offered
    // meanwhile; nothing while a send is in flight or nothing waits.
    std::optional<qint64> next_due(qint64 nowMs) const;
    // The send in flight ended at `nowMs`; `passwordRefused` waits longest.
    Finished finished(bool delivered, qint64 nowMs, bool passwordRefused = false);
    // The last text the destination took, once more (it may have lost it),
    // unless a newer one is on its way.
    void offer_again();
    // No more retries or resends: what waits is dropped.
    void wind_down();

    bool in_flight() const
    {
        return inFlight_.has_value();
    }
    // The texts waiting for their delay.
    int delayed() const
    {
        return int(delayed_.size());
    }
    // A text waits to be sent.
    bool waiting() const
    {
        return pending_.has_value();
    }
    // Sends that failed since the last that went through.
    int failures() const
    {
        return failures_;
    }

private:
    void take_up(const Item &item);
    void release_delayed(qint64 nowMs);

    Rules rules_;
    Backoff backoff_;
    std::deque<std::pair<qint64, Item>> delayed_; // waiting for their delay, oldest first
    std::optional<Item> pending_;                 // the newest text not yet sent
    std::optional<Item> inFlight_;                // the text being sent
    std::optional<Item> delivered_;               // the last text the destination took
    std::optional<qint64> retryAt_;               // while a failed send waits for its pause
    std::optional<qint64> everyAt_;               // when the last text is due again
    std::optional<qint64> confirmAt_;             // when the text that ended failures is due again
    std::optional<qint64> intervalEndsAt_;        // no send before this (min-interval)
    int failures_ = 0;                            // failed sends since the last delivery
    bool woundDown_ = false;
};
