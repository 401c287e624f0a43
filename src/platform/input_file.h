// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Reading an input (the settings, the letters, the document) as bytes.

// No input is read past this many bytes: a playout program's document is a
// few kilobytes, and a path pointing at a device or a runaway log must not
// exhaust memory.
constexpr qint64 maxInputBytes = 16 * 1024 * 1024;

// Whether `path` can be opened as an input is opened (every sharing mode on
// Windows, so that the check never stands in another program's way; a FIFO,
// socket or folder is refused without waiting).
bool can_open_input(const QString &path);

// Calls `expect(size)` with the file's size (0 for a device), then
// `consume(chunk, size)` for each chunk of the file in order, up to
// maxInputBytes in all. False when the file cannot be opened or read, is
// larger, or is a FIFO, socket or folder (reading a FIFO would wait for a
// writer for ever, and a pass started by a service would hang).
using ExpectSize = std::function<void(qint64 size)>;
using ConsumeChunk = std::function<void(const char *chunk, int size)>;
bool read_input_chunks(const QString &path, const ExpectSize &expect, const ConsumeChunk &consume);

// The input's bytes, as read_input_chunks reads them.
std::optional<QByteArray> read_file_bytes(const QString &path);

// At most the first `limit` bytes of `path`, whatever its size, opened as
// an input is; empty when it cannot be opened (a FIFO, socket or folder is
// not opened at all).
QByteArray first_bytes(const QString &path, qint64 limit);
