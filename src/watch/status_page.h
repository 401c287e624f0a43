// SPDX-License-Identifier: MIT
#pragma once

#include "watcher_state.h"

#include <QString>

// The status page (--status-page): one self-contained HTML page (no
// external scripts, styles or fonts; readable from disk and from any web
// server) that a person reads at a glance: each station with its on-air
// text and how long ago its last pass was, each destination green or red
// with since when and why, a site's source, the watcher's heartbeat, and a
// small chart (inline SVG) of each station's recent pass-to-send times.
// Its script reloads it every 5 s and, when the heartbeat it carries is
// older than deadAfterMs by the browser's clock, says in red that the
// watcher is not running. Every text on it is escaped.
QString status_page_html(const WatcherState &state);

// `text` with the characters HTML gives a meaning escaped.
QString html_escaped(const QString &text);
