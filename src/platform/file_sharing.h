// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QFile;

// Whether another program holds `path` open in a way that keeps us from
// opening it now, for reading or (with `forWriting`) for writing: Windows
// enforces the sharing modes a program opens a file with, and its byte-range
// locks. Such a hold lasts moments (a playout program writing its document,
// an RDS reader reading the file), so the open is worth trying again. Never
// true on Linux, where locks are advisory and opens are not refused.
bool held_by_another_program(const QString &path, bool forWriting);

#ifdef Q_OS_WIN
// Opens the existing `path` as it stands (Qt would rewrite a device name
// such as NUL into a file name) for reading or, with `forWriting`, for
// writing, allowing others the Windows sharing flags `sharing`
// (FILE_SHARE_...), and hands it to `file`. False when it cannot.
bool open_existing_shared(QFile &file, const QString &path, bool forWriting, unsigned long sharing);
#endif
