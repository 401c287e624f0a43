// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// A watcher's status file (nowplaying-watch --status FILE) for a person:
// one line per station and per destination, failing ones first. An empty
// string for a file that is not such a status.
QString status_text(const QByteArray &statusJson);
