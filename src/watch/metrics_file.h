// SPDX-License-Identifier: MIT
#pragma once

#include "watcher_state.h"

#include <QString>

// The metrics file (--metrics), in Prometheus' text exposition format for
// the node exporter's text-file collector: passes, destinations, a site's
// source, whether a station polls, and the watcher's own heartbeat
// (nowplaying_heartbeat_timestamp_seconds, rewritten at least every
// heartbeatMs) and nowplaying_up (1 while it runs, 0 after a clean stop),
// so that an alert rule can tell a watcher that stopped from one that died.
QString metrics_text(const WatcherState &state);
