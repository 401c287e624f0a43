// SPDX-License-Identifier: MIT
#pragma once

#include "output_file.h"

#include <QString>
#include <optional>

class QTextCodec;

// No input is read past this many bytes: a playout program's document is a
// few kilobytes, and a path pointing at a device or a runaway log must not
// exhaust memory.
constexpr qint64 maxInputBytes = 16 * 1024 * 1024;

// Whether `path` can name a file at all: not empty, and without a NUL, at
// which the system would cut the name and open another file.
bool usable_path(const QString &path);

// Whether `path` can be opened as read_text_file opens it (every sharing
// mode on Windows, so that the check never stands in another program's
// way; a FIFO or socket is refused without waiting).
bool can_open_input(const QString &path);

// Reads a whole document as text. A Unicode byte-order mark decides the
// encoding and is dropped; otherwise `codec` is used (the locale encoding
// when null). Carriage returns are dropped, so CR LF arrives as LF. Gives
// nothing when the file cannot be opened or read, holds more than
// maxInputBytes, or is a FIFO or socket (reading one would wait for a
// writer).
std::optional<QString> read_text_file(const QString &path, QTextCodec *codec);

// The file's bytes, as read_text_file reads them before decoding.
std::optional<QByteArray> read_file_bytes(const QString &path);

// Reads a configuration file (settings, letters) as read_text_file does, in
// the codec config_file_codec picks.
std::optional<QString> read_config_file(const QString &path, QTextCodec *localeCodec);

// The codec a configuration file's bytes are read in: the one a Unicode
// byte-order mark names; without a mark UTF-8 when the bytes are valid UTF-8
// (as Windows Notepad saves by default), and `localeCodec` otherwise.
QTextCodec *config_file_codec(const QByteArray &bytes, QTextCodec *localeCodec);

// Writes encode_text(text, codec) to the output `path` as write_output
// does: a reader sees the old bytes or the new, never a part.
WriteResult write_text_file(const QString &path, const QString &text, QTextCodec *codec);

// The bytes of `text` in `codec` (the locale encoding when null), with no
// byte-order mark: exactly what write_text_file writes.
QByteArray encode_text(const QString &text, QTextCodec *codec);

// The registry's codec for an encoding name, or null for an empty or unknown
// name, which leaves the file in the locale encoding.
QTextCodec *codec_for_name(const QString &name);

// `codec`, or the locale encoding's codec when it is null: the codec a file
// given no codec is read or written in.
QTextCodec *codec_or_locale(QTextCodec *codec);

// The name of the locale encoding, as an XML declaration would give it:
// "UTF-8" on Linux, the ANSI code page ("windows-1251") on Windows.
QString locale_encoding_name();
