// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

// Where a part of the program hands its log lines (without time stamp or
// line end): the program decides how they are stamped, prefixed and where
// they go.
using LogSink = std::function<void(const QString &line)>;
