// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Outputs in folders that other users write to (a playout program's shared
// folder, /tmp) are written through a symbolic link only where the system's
// own protection of such folders would follow it: a link there may have
// been planted by another user to turn a write by this program (perhaps
// run as root) against a file of its choosing.

// Why writing to `path` must not follow the link it is (or the chain of
// links it starts): a link in a folder that users other than the folder's
// owner may write to (group or others) that is owned neither by this
// program's user nor by the folder's owner, or any link there that points
// at nothing (a new file would be created wherever it points). Empty when
// there is no such link. Always empty on Windows, whose folders are
// protected by their access lists.
QString planted_link(const QString &path);
