// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What can be learnt of a file or folder without opening it.

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

// What the system says of a path as written, never cleaned up first: on
// Linux "sub/../meta.txt" needs "sub" to exist, as an open of it does; on
// Windows the system itself resolves "." and ".." by the name alone.
struct PathState {
    bool exists = false;
    bool folder = false;
    bool writable = false; // for a folder: files can be made in it
};
PathState path_state(const QString &path);

// The folder part of `path` as written ("." for a bare name), its last
// separator kept, so that the system resolves it as an open of `path` does.
QString written_folder(const QString &path);

// The kind of network file system `path` lies on ("nfs", "cifs", "network
// share", ...), or an empty string for a local one. Changes made on another
// machine reach a network file system's readers without a change
// notification.
QString network_file_system(const QString &path);

// Whether users other than the owner may read the file (Unix modes; Windows
// keeps this in access lists, which are not judged here).
bool readable_by_others(const QString &path);
