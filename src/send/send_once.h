// SPDX-License-Identifier: MIT
#pragma once

#include "send_request.h"
#include "verdict.h"

#include <utility>
#include <vector>

// One request to one destination, sent once.
struct OneSend {
    Destination destination;
    SendRequest request;
};

// Sends every request at the same time, once, and waits until each has
// ended (within its destination's timeout); their verdicts, in order. Needs
// a QCoreApplication.
std::vector<Verdict> send_each_once(const std::vector<OneSend> &sends);
