// SPDX-License-Identifier: MIT
#include "delivery.h"

Delivery::Delivery(const Rules &rules)
    : rules_(rules), backoff_(qMin(firstPauseMs, rules.longestRetryMs), rules.longestRetryMs)
{
}

void Delivery::offer(const Item &item, qint64 nowMs)
{
    if (woundDown_)
        return;
    if (rules_.delayMs <= 0) {
        take_up(item);
        return;
    }
    // The same text written again by the next pass keeps its time.
    const Item *newest = !delayed_.empty() ? &delayed_.back().second
                         : pending_        ? &*pending_
                         : inFlight_       ? &*inFlight_
                         : delivered_      ? &*delivered_
                                           : nullptr;
    if (newest && newest->key == item.key)
        return;
    delayed_.emplace_back(nowMs + rules_.delayMs, item);
}

// A text whose time has come, as if its pass were now.
void Delivery::take_up(const Item &item)
{
    const std::optional<Item> &there = inFlight_ ? inFlight_ : delivered_;
    const bool alreadyThere = there && item.key == there->key;
    // Nothing to send, or what the destination has (or is being sent)
    // already: a newer text waiting is void. While a failed send waits for
    // its pause, the same text keeps waiting.
    if (item.key.isEmpty() || (alreadyThere && !retryAt_)) {
        pending_.reset();
        return;
    }
    if (retryAt_ && pending_ && pending_->key != item.key) {
        // A new text is tried at once: the pause paces retries of one text.
        retryAt_.reset();
        backoff_.reset();
    }
    pending_ = item;
}

void Delivery::release_delayed(qint64 nowMs)
{
    while (!delayed_.empty() && delayed_.front().first <= nowMs) {
        const Item item = delayed_.front().second;
        delayed_.pop_front();
        take_up(item);
    }
}

std::optional<Delivery::Item> Delivery::take(qint64 nowMs)
{
    release_delayed(nowMs);
    if (inFlight_ || (intervalEndsAt_ && nowMs < *intervalEndsAt_))
        return std::nullopt;
    if (retryAt_) {
        if (nowMs < *retryAt_)
            return std::nullopt;
        retryAt_.reset();
    }
    if (confirmAt_ && nowMs >= *confirmAt_) {
        confirmAt_.reset();
        if (!pending_ && delivered_) {
            pending_ = delivered_;
            pending_->repeat = true;
        }
    }
    if (everyAt_ && nowMs >= *everyAt_) {
        // The last text again, unless a newer one is on its way.
        if (!pending_ && delivered_) {
            pending_ = delivered_;
            pending_->repeat = true;
        }
        while (*everyAt_ <= nowMs)
            *everyAt_ += rules_.everyMs;
    }
    if (!pending_)
        return std::nullopt;
    inFlight_ = std::move(pending_);
    pending_.reset();
    if (rules_.minIntervalMs > 0)
        intervalEndsAt_ = nowMs + rules_.minIntervalMs;
    return inFlight_;
}

std::optional<qint64> Delivery::next_due(qint64 nowMs) const
{
    std::optional<qint64> due;
    if (!delayed_.empty())
        due = delayed_.front().first;
    if (inFlight_)
        return due;
    std::optional<qint64> again = everyAt_;
    if (confirmAt_ && (!again || *confirmAt_ < *again))
        again = confirmAt_;
    std::optional<qint64> send = retryAt_   ? retryAt_
                                 : pending_ ? std::optional<qint64>(nowMs)
                                            : again;
    if (send && intervalEndsAt_)
        send = qMax(*send, *intervalEndsAt_);
    if (send && (!due || *send < *due))
        due = send;
    return due;
}

Delivery::Finished Delivery::finished(bool delivered, qint64 nowMs, bool passwordRefused)
{
    Finished result{delivered, false, failures_, 0};
    if (!inFlight_)
        return result;
    result.repeat = inFlight_->repeat;
    inFlight_->repeat = false;
    if (delivered) {
        if (failures_ > 0 && rules_.confirmWhenBack && !woundDown_)
            confirmAt_ = nowMs + confirmAfterBackMs;
        failures_ = 0;
        backoff_.reset();
        delivered_ = std::move(inFlight_);
        if (rules_.everyMs > 0 && !woundDown_)
            everyAt_ = nowMs + rules_.everyMs;
        if (pending_ && pending_->key == delivered_->key)
            pending_.reset();
    } else {
        result.pauseMs = passwordRefused ? longestPauseMs : backoff_.next();
        ++failures_;
        if (pending_) {
            // A newer text came meanwhile: it is tried at once, and paced
            // only when it fails in turn.
            backoff_.reset();
        } else if (!woundDown_) {
            pending_ = std::move(inFlight_);
            retryAt_ = nowMs + result.pauseMs;
        }
    }
    inFlight_.reset();
    return result;
}

void Delivery::offer_again()
{
    if (woundDown_ || pending_ || inFlight_ || !delivered_)
        return;
    pending_ = delivered_;
    pending_->repeat = true;
}

void Delivery::wind_down()
{
    woundDown_ = true;
    retryAt_.reset();
    everyAt_.reset();
    confirmAt_.reset();
    pending_.reset();
    delayed_.clear();
}
