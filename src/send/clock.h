// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <functional>

// Milliseconds on a clock that only goes forward. Rules that depend on time
// take one, so that tests can give their own and step it.
using SteadyClock = std::function<qint64()>;

// The process's own steady clock.
SteadyClock system_steady_clock();
