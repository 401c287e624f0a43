// SPDX-License-Identifier: MIT
#pragma once

// A stop request (SIGINT, SIGTERM or SIGHUP; on Windows Ctrl+C, Ctrl+Break
// or the console being closed) quits the application's event loop. The loop
// handles it between two of its tasks, so a pass in progress is finished
// first; a pass waiting for a FIFO's reader or another pass's lock stops
// waiting at once (request_interruption).
void quit_on_stop_request();

// To be called once the event loop has returned: on Windows, a closed
// console ends the process as soon as the request is answered, so the
// answer waits for this (a few seconds at most).
void stop_request_done();
