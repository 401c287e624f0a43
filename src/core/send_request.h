// SPDX-License-Identifier: MIT
#pragma once

#include "destination.h"
#include "pass.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

// What one destination is sent for one pass, and how its answer is judged:
// no network here, so that every byte can be checked.

// RadioText carries at most this many characters.
constexpr int radioTextLength = 64;

// The text a destination gets, in its parts: artist, splitter and title, as
// the META file has them or in their Latin forms as the RDS file has them.
struct SentText {
    QString artist;
    QString splitter;
    QString title;
    QString text; // what is sent: see sent_text
};

// The text for `destination` of a pass that put `onAir` on air. Never one
// that starts or ends with the splitter: with only a title or only an
// artist that one alone is sent, with neither nothing (an empty text). RDS
// encoders get it cut to RadioText's 64 characters at the last blank that
// fits (at the 64th character when none does).
SentText sent_text(const Destination &destination, const OnAirText &onAir);

// An RT+ tag: content type (ITEM.TITLE 1, ITEM.ARTIST 4), start and length
// in characters of the text as sent.
struct RtPlusTag {
    int type = 0;
    int start = 0;
    int length = 0;
};
// The tags for artist and title within `sent`, the parts the cut left out
// dropped or shortened.
QList<RtPlusTag> rt_plus_tags(const SentText &sent);

struct SendRequest {
    // HTTP (Icecast, Shoutcast, web hooks)
    QByteArray method; // "GET" or "POST"
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // RDS encoders: the commands, each ended as the dialect ends it
    QList<QByteArray> commands;
    // For the log: the text that was sent (or what it was sent for)
    QString shown;
};

// The request that carries `sent` to `destination`; `onAir` for the web
// hook's JSON object.
SendRequest send_request(const Destination &destination, const SentText &sent,
                         const OnAirText &onAir);

// Whether a destination took the text, and what it said.
struct Verdict {
    bool delivered = false;
    QString answer; // what came back, or why nothing did
};

// An HTTP reply (status 0: none). Icecast answers 200 to a refused update
// too, so its reply message decides.
Verdict judge_http_reply(const Destination &destination, int status, const QByteArray &body);

// One reply line of an RDS encoder to a command.
Verdict judge_rds_reply(const RdsDialect &dialect, const QByteArray &line);
