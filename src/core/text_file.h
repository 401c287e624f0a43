// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

class QTextCodec;

// No input is read past this many bytes: a playout program's document is a
// few kilobytes, and a path pointing at a device or a runaway log must not
// exhaust memory.
constexpr qint64 maxInputBytes = 16 * 1024 * 1024;

// Reads a whole file as text. A Unicode byte-order mark decides the encoding
// and is dropped; otherwise `codec` is used (the locale encoding when null).
// Carriage returns are dropped, so CR LF arrives as LF. Gives nothing when
// the file cannot be opened or read, or holds more than maxInputBytes.
std::optional<QString> read_text_file(const QString &path, QTextCodec *codec);

enum class WriteResult { Written, NotCreated, NotWritten };

// Creates or truncates `path` and writes `text` in `codec` (the locale
// encoding when null), with no byte-order mark. NotWritten means the file
// was opened but the text did not all reach it (a full disk, for instance).
WriteResult write_text_file(const QString &path, const QString &text, QTextCodec *codec);

// The registry's codec for an encoding name, or null for an empty or unknown
// name, which leaves the stream in the locale encoding.
QTextCodec *codec_for_name(const QString &name);
