// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Text that comes from outside the program (a peer's reply, an HTTP reason
// phrase, a broker's message, a system's error naming a peer) is shown in a
// log line, a status file, metrics and the checker's report only as these
// make it: one line a terminal shows as it is, and bounded.

// How many characters of a peer's own words a message quotes.
constexpr int quotedReplyLength = 200;
// How many bytes (UTF-8) a log line, a status file's field or a metric's
// label may hold at most.
constexpr int longestShownBytes = 1024;

// `text` as one clean line (on_air_value: no control character, no line
// break, runs of white space one blank), cut to at most `limit` characters
// (code points) with "..." after a cut.
QString quoted_reply(const QString &text, int limit = quotedReplyLength);

// Bytes a peer sent, read as UTF-8 (a byte that is not stands as U+FFFD),
// then as quoted_reply.
QString quoted_reply(const QByteArray &bytes, int limit = quotedReplyLength);

// The first `limit` characters (code points) of `text`, "..." after a cut;
// nothing else changed.
QString first_characters(const QString &text, int limit);

// `text` with no control character a terminal or a log reader would act
// on: line breaks and tabs stand as blanks, the others are dropped. Every
// log line is made so, whatever a folder's name or a system's message held.
QString without_controls(const QString &text);

// `text` cut to at most `bytes` bytes of UTF-8, never inside a character,
// with "..." after a cut (within the bound).
QString within_utf8_bytes(const QString &text, int bytes = longestShownBytes);
