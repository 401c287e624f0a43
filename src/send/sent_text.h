// SPDX-License-Identifier: MIT
#pragma once

#include "destination.h"
#include "on_air_text.h"

#include <QList>
#include <QString>

// The text a destination gets for a pass, before it is put into a request.

// The text for one destination: its template filled (or the usual artist,
// splitter and title), in Latin letters for text=rds, the idle text when
// that comes out empty, cut to the destination's length.
struct SentText {
    QString text;      // what is sent; empty: nothing is sent
    TextSpan artist;   // where the artist stands in `text` (UTF-16 code units)
    TextSpan title;    // where the title stands
    bool idle = false; // `text` is the idle text
    // The static programme service name (ps=NAME) in the letters of `text`:
    // Latin for text=rds, so that "ps=Радио" is not "?????" on air.
    QString psName;
};

// The text for `destination` of a pass that put `onAir` on air. Without a
// template it never starts or ends with the splitter: with only a title or
// only an artist that one alone is sent. A text that comes out empty (or
// blanks and the template's punctuation only) is replaced by the idle text;
// without one nothing is sent. RadioText, a DAB+ label and a feeder's file
// get it without pictographs (without_pictographs). The cut (cut_sent)
// keeps at most the destination's maxCharacters (code points).
SentText sent_text(const Destination &destination, const OnAirText &onAir);

// `sent` cut to at most `limit` characters (code points; 0: no limit).
// When the artist stands before the title, the artist gives way first: it
// is cut (at a blank where one fits) so that the title keeps at least half
// of the limit, or all of it when shorter, and the title with what follows
// it is cut as cut_to has it. The spans follow the text as cut.
SentText cut_sent(const SentText &sent, int limit);

// An RT+ or DL Plus tag: content type (ITEM.TITLE 1, ITEM.ARTIST 4), start
// and length in characters (code points) of the text as sent.
struct RtPlusTag {
    int type = 0;
    int start = 0;
    int length = 0;
};
// The tags for artist and title within `sent`, the parts the cut left out
// dropped or shortened.
QList<RtPlusTag> rt_plus_tags(const SentText &sent);

// `text` cut to at most `limit` characters (code points) at the last blank
// that lets it fit, or hard at the limit when none does. A cut that would
// end at or inside `between` (what stands between artist and title, in
// UTF-16 code units) keeps what stands before it alone: never a splitter
// without a title after it.
QString cut_to(const QString &text, int limit, const TextSpan &between = TextSpan());

// The title as a text in Latin letters carries it: the RDS file's form,
// but with one blank where ";" became ", " before a blank.
QString sent_latin_title(const OnAirText &onAir);
