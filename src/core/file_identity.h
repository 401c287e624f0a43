// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Whether the two paths name one and the same existing file, however they
// reach it: the same path spelled differently, a symbolic link or a hard
// link. False when either does not exist or cannot be examined.
bool same_file(const QString &a, const QString &b);

// Whether `path` names a FIFO or a socket, which a reader waits on for ever.
bool is_fifo_or_socket(const QString &path);
