// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QTextCodec;

// Encodings by name, and text turned into bytes exactly as the pass writes
// them.

// The registry's codec for an encoding name, or null for an empty or unknown
// name, which leaves the file in the locale encoding.
QTextCodec *codec_for_name(const QString &name);

// `codec`, or the locale encoding's codec when it is null: the codec a file
// given no codec is read or written in.
QTextCodec *codec_or_locale(QTextCodec *codec);

// The bytes of `text` in `codec` (the locale encoding when null), with no
// byte-order mark: exactly what write_text_file writes. A lone surrogate is
// U+FFFD where the encoding has it and "?" elsewhere; a character beyond the
// first 65,536 that the encoding lacks is one "?".
QByteArray encode_text(const QString &text, QTextCodec *codec);

// Hands encode_text's bytes to `sink` slice by slice, which keeps the
// encoded copy of a large document small; stops when `sink` returns false.
bool encode_in_slices(const QString &text, QTextCodec *codec,
                      const std::function<bool(const QByteArray &)> &sink);

// How many bytes the UTF-8 sequence at `p` (before `end`) has, 1 to 4; 0
// when it is not valid UTF-8 as Qt's decoder has it (an overlong form, a
// surrogate, past U+10FFFF, cut short).
int utf8_sequence_length(const uchar *p, const uchar *end);

// Whether `bytes` are valid UTF-8 (a sequence cut at the end is not).
bool is_valid_utf8(const QByteArray &bytes);

// The codec a configuration file's bytes are read in: the one a Unicode
// byte-order mark names; without a mark UTF-8 when the bytes are valid UTF-8
// (as Windows Notepad saves by default), and `localeCodec` otherwise.
QTextCodec *config_file_codec(const QByteArray &bytes, QTextCodec *localeCodec);
