// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Options of a connected TCP socket that Qt Network does not set.

// Makes the next close of `descriptor` reset the connection (SO_LINGER
// with no time) instead of ending it in order: what the system still holds
// to send is dropped, and the peer is told at once. A peer that keeps what
// it had received but not yet read (as Linux does) still gets that part.
void reset_on_close(qintptr descriptor);
