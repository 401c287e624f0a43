// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QFile;

enum class WriteStatus { Written, NotCreated, NotWritten };

// How a write ended, and in the system's own words why it failed (empty
// when it was written), for a log line that names the cause.
struct WriteResult {
    WriteStatus status = WriteStatus::Written;
    QString reason;
};

// Writes what `fill` puts into the file it is given; `fill` returns false
// when a write fell short. NotCreated: nothing could be opened for writing;
// NotWritten: the bytes did not all reach the file.
//
// A symbolic link that another user may have planted (planted_link) is
// not written through: NotCreated, with the reason.
//
// Readers of an output (RDS encoders and stream tools poll it several times
// a second) see the old bytes or the new bytes, never an empty or partial
// file: where it can, the output is written as a new file beside it, which
// then replaces it in one step. That new file gets the output's mode, owner
// and group; a symbolic link is followed and its target replaced. When that
// is not possible (a FIFO or device, a file with more than one hard link, an
// owner or group that cannot be kept, a folder where nothing can be created,
// a target that cannot be replaced), the output is truncated and written in
// place (on Windows over the old bytes, the end set after them, so that it
// is never empty). A FIFO is opened without waiting for ever: at most
// fifoReaderWaitMs for a reader, less when an interruption is requested.
// A new file that fails is removed and the output stays as it was, and a
// new file left behind by a pass that was killed is removed by the next.
using OutputFill = std::function<bool(QFile &)>;
WriteResult write_output(const QString &path, const OutputFill &fill);

constexpr int fifoReaderWaitMs = 5000;

// How long, on Windows, the new file is tried again to replace an output
// that another program holds open (a feeder polling it) before the output
// is written in place.
constexpr int heldRenameRetryMs = 100;

// The name of the new file written beside `path` before it replaces it.
QString replacement_path(const QString &path);
