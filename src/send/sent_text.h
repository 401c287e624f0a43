// SPDX-License-Identifier: MIT
#pragma once

#include "destination.h"
#include "on_air_text.h"

#include <QList>
#include <QString>

// The text a destination gets for a pass, before it is put into a request.

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

// `text` cut to at most `limit` characters (code points) at the last blank
// that lets it fit, or hard at the limit when none does.
QString cut_to(const QString &text, int limit);
