// SPDX-License-Identifier: MIT
#include "delivery.h"

Delivery::Delivery(int everyMs) : everyMs_(everyMs)
{
}

void Delivery::offer(const Item &item, qint64 nowMs)
{
    Q_UNUSED(nowMs)
    const std::optional<Item> &there = inFlight_ ? inFlight_ : delivered_;
    const bool alreadyThere = there && item.key == there->key;
    // Nothing to send, or what the destination has (or is being sent)
    // already: a newer text waiting is void. While a failed send waits for
    // its pause, the same text still replaces a newer one that waits.
    if (woundDown_ || item.key.isEmpty() || (alreadyThere && !retryAt_)) {
        pending_.reset();
        return;
    }
    pending_ = item;
}

std::optional<Delivery::Item> Delivery::take(qint64 nowMs)
{
    if (inFlight_)
        return std::nullopt;
    if (retryAt_) {
        if (nowMs < *retryAt_)
            return std::nullopt;
        retryAt_.reset();
    }
    if (everyAt_ && nowMs >= *everyAt_) {
        // The last text again, unless a newer one is on its way.
        if (!pending_ && delivered_)
            pending_ = delivered_;
        while (*everyAt_ <= nowMs)
            *everyAt_ += everyMs_;
    }
    if (!pending_)
        return std::nullopt;
    inFlight_ = std::move(pending_);
    pending_.reset();
    return inFlight_;
}

std::optional<qint64> Delivery::next_due(qint64 nowMs) const
{
    if (inFlight_)
        return std::nullopt;
    if (retryAt_)
        return *retryAt_;
    if (pending_)
        return nowMs;
    return everyAt_;
}

Delivery::Finished Delivery::finished(bool delivered, qint64 nowMs)
{
    Finished result{delivered, failures_, 0};
    if (!inFlight_)
        return result;
    if (delivered) {
        failures_ = 0;
        backoff_.reset();
        delivered_ = std::move(inFlight_);
        if (everyMs_ > 0 && !woundDown_)
            everyAt_ = nowMs + everyMs_;
        if (pending_ && pending_->key == delivered_->key)
            pending_.reset();
    } else {
        result.pauseMs = backoff_.next();
        ++failures_;
        // Tried again, unless a newer text has come meanwhile.
        if (!pending_ && !woundDown_)
            pending_ = std::move(inFlight_);
        if (!woundDown_)
            retryAt_ = nowMs + result.pauseMs;
    }
    inFlight_.reset();
    return result;
}

void Delivery::wind_down()
{
    woundDown_ = true;
    retryAt_.reset();
    everyAt_.reset();
    pending_.reset();
}
