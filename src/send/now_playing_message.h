// SPDX-License-Identifier: MIT
#pragma once

#include "on_air_text.h"
#include "sent_text.h"
#include "settings.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The now-playing as one JSON message, as web hooks and MQTT subscribers
// get it and as a site that follows its studio reads it back.

// One JSON object (UTF-8, compact): "artist", "title", "meta", "rds" as the
// pass made them, "text" (what `sent` holds), "fields" (every element of the
// document that holds text, by name), "time" (the pass's local time, ISO
// 8601 with milliseconds and offset) and "id". With a `limit` (bytes), the
// longest fields are left out until the message fits in it.
QByteArray now_playing_json(const OnAirText &onAir, const SentText &sent, const QString &id,
                            int limit = 0);

// A site takes from its studio's topic at most this much: a now-playing
// message is a few kilobytes.
constexpr int longestFollowedMessage = 256 * 1024;

// What a followed studio put on air, read from its message: artist, title,
// the META and RDS texts, the time, and its fields as a document of their
// own (so that a site's templates find them as in the studio's document),
// every text cleaned as a pass cleans the document's (on_air_value: one
// line, no control character). The Latin forms, splitters and letters are
// the site's to add. A message that is not the shape the studio publishes
// (not a JSON object; "artist" or "title" missing or not text; "meta",
// "rds", "text", "time" or "id" not text; "fields" not an object of at
// most 64 texts named as elements are) gives no text, and why.
struct FollowedMessage {
    std::optional<OnAirText> onAir;
    QString refusal; // why it is left aside; empty when it is taken
};
FollowedMessage read_now_playing(const QByteArray &message);

// The studio's text as a site puts it on air: the site's own Latin (its
// language, letters and spellings) and splitters, and the Latin forms
// made with them.
OnAirText site_text(OnAirText studio, const Romanization &latin, const QString &metaSplitter,
                    const QString &rdsSplitter);

// A site's Romanization, from the letters and spellings files in `folder`
// (the working folder when empty): a site that has no letters file, or
// one that cannot be read, writes with the usual letters.
Romanization site_romanization(const RunSettings &settings, const QString &folder = QString());

// A site's splitter: the one its settings give, or " - " where they name
// none (a site's settings need not).
QString site_splitter(const QString &setting);
