// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Paths as the system the program runs on understands them.

// Whether the program runs on Windows, for advice and rules that differ
// there; the rest of the code never asks the preprocessor.
bool on_windows();

// Whether `path` can name a file at all: not empty, and without a NUL, at
// which the system would cut the name and open another file.
bool usable_path(const QString &path);

// Whether the last part of `path` is longer than a file system lets a name
// be: 255 UTF-16 units on Windows, 255 bytes elsewhere.
bool file_name_too_long(const QString &path);

// Whether the two paths name one and the same existing file, however they
// reach it: the same path spelled differently, a symbolic link or a hard
// link. False when either does not exist or cannot be examined.
bool same_file(const QString &a, const QString &b);

// Whether the two paths name one file, existing or not: spelled alike once
// made absolute and clean (in any case on Windows), or same_file. For a
// file about to be written, which same_file cannot yet tell.
bool one_file(const QString &a, const QString &b);

// The spelling one_file compares: absolute and clean, in lower case on
// Windows. For comparing many paths at once by a key.
QString spelled_path(const QString &path);

// What tells one existing file from every other (its volume or device and
// its index or inode), so that a path can be compared with many at the
// cost of one look each. Not `known` when the path does not name an
// existing file, or cannot be examined.
struct FileIdentity {
    bool known = false;
    quint64 volume = 0;
    quint64 index = 0;
};
FileIdentity file_identity(const QString &path);
// Whether two identities are one file (both known).
bool same_identity(const FileIdentity &a, const FileIdentity &b);

// Whether `path` names a FIFO or a socket, which a reader waits on for ever.
bool is_fifo_or_socket(const QString &path);

// Whether `path` names a Windows device rather than a file: a reserved name
// (NUL, CON, PRN, AUX, COM1 to COM9, LPT1 to LPT9, in any case, with or
// without an extension or a colon, in any folder) or a path in the device
// namespace (\\.\COM10, \\.\pipe\NAME). On Windows such an output is
// opened as it is and written in place, as /dev/null and FIFOs are on Linux.
bool is_windows_device_path(const QString &path);

// Whether this system opens `path` as a device by its name alone: a Windows
// device name on Windows, nothing elsewhere.
bool is_device_name(const QString &path);

// Whether a file name on this system may hold a double quote: not on
// Windows, so one pair of quotes around a path there is only decoration.
bool file_names_may_hold_quotes();

// A folder as the command line gives it: on Windows a trailing double quote
// dropped, which is what "C:\Мой эфир\" (a folder in quotes, ending with a
// backslash) arrives as; elsewhere as it is.
QString folder_argument(QString folder);
