// SPDX-License-Identifier: MIT
#pragma once

#include "on_air_text.h"
#include "sent_text.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The now-playing as one JSON message, as web hooks and MQTT subscribers
// get it and as a site that follows its studio reads it back.

// One JSON object (UTF-8, compact): "artist", "title", "meta", "rds" as the
// pass made them, "text" (what `sent` holds), "fields" (every element of the
// document that holds text, by name), "time" (the pass's local time, ISO
// 8601 with milliseconds and offset) and "id".
QByteArray now_playing_json(const OnAirText &onAir, const SentText &sent, const QString &id);

// What a followed studio put on air, from its message: artist, title, the
// META and RDS texts, the time, and its fields as a document of their own
// (so that a site's templates find them as in the studio's document). The
// Latin forms, splitters and letters are the site's to add. Nothing for a
// message that is not such an object.
std::optional<OnAirText> now_playing_from_json(const QByteArray &message);
