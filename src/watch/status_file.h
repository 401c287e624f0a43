// SPDX-License-Identifier: MIT
#pragma once

#include "watcher_state.h"

#include <QString>

// The status file (--status): one JSON document of the watcher, every
// station and every destination, for a script, a web page or
// nowplaying-check --status. Times are ISO 8601 with milliseconds and
// offset; every text is bounded (longestShownBytes).
//
// "state" is "running" or "stopped"; "heartbeat" is when it was written,
// which a running watcher does at least every heartbeatMs, so that a file
// whose heartbeat is older than deadAfterMs tells of a watcher that died
// without a word.
QString status_json(const WatcherState &state);
