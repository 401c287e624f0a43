// SPDX-License-Identifier: MIT
#pragma once

#include "output_file.h"

#include <QString>

#include <optional>

class QTextCodec;

// Whole text files as a pass reads and writes them.

// Reads a whole document as text. A Unicode byte-order mark decides the
// encoding and is dropped; otherwise `codec` is used (the locale encoding
// when null). Carriage returns are dropped, so CR LF arrives as LF. Gives
// nothing when the input cannot be read (read_input_chunks).
std::optional<QString> read_text_file(const QString &path, QTextCodec *codec);

// Reads a configuration file (settings, letters) as read_text_file does, in
// the codec config_file_codec picks.
std::optional<QString> read_config_file(const QString &path, QTextCodec *localeCodec);

// A configuration file's bytes as read_config_file decodes them.
QString config_text(const QByteArray &bytes, QTextCodec *localeCodec);

// Writes encode_text(text, codec) to the output `path` as write_output
// does: a reader sees the old bytes or the new, never a part.
WriteResult write_text_file(const QString &path, const QString &text, QTextCodec *codec);
