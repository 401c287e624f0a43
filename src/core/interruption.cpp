// SPDX-License-Identifier: MIT
#include "interruption.h"

#include <atomic>

namespace {

// Lock-free, so that a signal handler may set it.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

} // namespace

void request_interruption()
{
    requested.store(true);
}

bool interruption_requested()
{
    return requested.load();
}
