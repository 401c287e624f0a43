// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Why the serial port `name` (COM3, /dev/ttyUSB0) cannot be used now: not
// there, held by another program, no permission, or a build without serial
// ports. Empty when it opens; it is closed again at once, its settings
// untouched.
QString serial_port_problem(const QString &name);
