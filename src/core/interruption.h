// SPDX-License-Identifier: MIT
#pragma once

// A request to stop, made from a signal handler (or Windows' console
// handler) and seen by waits inside a pass: a pass waiting for a FIFO's
// reader or for another pass's lock gives up at once, so that a program
// asked to stop ends within a second even in the middle of such a wait.

// Marks the request. Safe to call from a signal handler.
void request_interruption();

// Whether request_interruption was called.
bool interruption_requested();
