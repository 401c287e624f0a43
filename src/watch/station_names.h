// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

// The names of a group's stations (absolute folders), one per folder and
// each unlike every other: the folder's own name, or as many of the last
// parts of its path as tell it apart ("x/studio" and "y/studio", with the
// system's separator). A folder named twice is named by its whole path.
QStringList station_names(const QStringList &folders);
