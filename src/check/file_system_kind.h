// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The kind of network file system `path` lies on ("nfs", "cifs", "network share", ...), or an
// empty string for a local one. Changes made on another machine reach a
// network file system's readers without a change notification.
QString network_file_system(const QString &path);
