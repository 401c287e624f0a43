// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The programs other than this one that hold the serial port `name` (COM3,
// \\.\COM12, /dev/ttyUSB0) open now, each as "NAME (process N)", sorted by
// process number, as far as this user may see: an administrator (root)
// sees every program, another user only their own; those found within 3
// seconds when the look takes longer. On Linux the far end of a
// pseudo-terminal (a bridge such as socat) is not counted. The names are
// other programs' own: shown, they are cleaned as any outside text is.
QStringList serial_port_holders(const QString &name);
