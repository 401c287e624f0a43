// SPDX-License-Identifier: MIT
#pragma once

// A request to stop: SIGINT, SIGTERM or SIGHUP, on Windows Ctrl+C,
// Ctrl+Break or the console being closed. A long-running program's event
// loop quits on it between two of its tasks, so a pass in progress is
// finished first; waits inside a pass (for a FIFO's reader, for another
// pass's lock) see it and give up at once, so that a program asked to stop
// ends within a second even in the middle of such a wait.

// Marks the request. Safe to call from a signal handler.
void request_interruption();

// Whether a stop was requested (request_interruption was called).
bool interruption_requested();

// From now on, a stop request quits the application's event loop.
void quit_on_stop_request();

// To be called once the event loop has returned: on Windows, a closed
// console ends the process as soon as the request is answered, so the
// answer waits for this (a few seconds at most).
void stop_request_done();
