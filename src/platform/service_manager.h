// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Talking to the service manager that started the program (systemd, through
// libsystemd's sd_notify): that it is ready, a one-line status, and the
// watchdog's keep-alive. Where no service manager listens (a terminal,
// Windows, a build without libsystemd), each does nothing.

// How often the service manager wants the keep-alive, in milliseconds (half
// its WatchdogSec=); 0 when it wants none.
int watchdog_interval_ms();

void tell_ready();
void tell_status(const QString &status);
void tell_alive();
void tell_stopping();
