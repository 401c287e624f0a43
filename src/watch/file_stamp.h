// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What tells one version of a file from the next without reading it: whether
// it exists, its size, its modification time and (where the system has one)
// its file number, which changes when a file is replaced by rename.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds where the system keeps them, else milliseconds
    quint64 fileNumber = 0;
};

bool operator==(const FileStamp &a, const FileStamp &b);
bool operator!=(const FileStamp &a, const FileStamp &b);

// The stamp of `path` now; a missing file has a stamp too.
FileStamp stamp_of(const QString &path);
