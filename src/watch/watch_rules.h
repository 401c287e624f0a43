// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

class QDateTime;

// The watcher's timing rules, as plain functions of the time, so that each
// can be tried in process.

// A stream of changes must not put off every pass for ever: after this long
// a pass runs even if the inputs are still changing.
constexpr int longestWaitMs = 1000;

// How long to wait now for the inputs to be still for `quietMs`, when the
// first change not yet passed over came `waitingForMs` ago: the quiet
// interval, but never past longestWaitMs from that first change.
int quiet_wait_ms(int quietMs, qint64 waitingForMs);

// Milliseconds from `now` (local time) until just past the start of the
// next hour: when a pass that a bad hour blocked is made again.
int ms_to_next_hour(const QDateTime &now);

// The pauses before trying again a pass that failed on a file another
// program holds: the first, and the longest it grows to (by Backoff).
constexpr int firstHeldPauseMs = 50;
constexpr int longestHeldPauseMs = 2000;
// The same for a pass that failed in any other way.
constexpr int firstFailPauseMs = 1000;
constexpr int longestFailPauseMs = 60000;

// How long a document that ends before its root element is closed (a
// writer between two chunks) is waited for before its pass, and how often
// it is looked at meanwhile.
constexpr int unfinishedWaitMs = 1000;
constexpr int unfinishedRetryMs = 20;
