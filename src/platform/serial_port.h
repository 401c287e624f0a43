// SPDX-License-Identifier: MIT
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

// The system's own serial ports, for a build that has no Qt SerialPort to
// open them with: on Windows through its communications API (COM1,
// COM12, \\.\COM3); elsewhere there are none.

// How the line is run: baud, data bits (5 to 8), parity (N, E, O, M for
// mark, S for space), stop bits (1 or 2) and RTS/CTS flow control.
struct SerialSettings {
    int baud = 9600;
    int bits = 8;
    char parity = 'N';
    int stopBits = 1;
    bool hardwareFlow = false;
};

// Whether this system's own ports can be opened by this build.
bool system_serial_ports();

// A port opened, or why not. `port` is a sequential QIODevice owned by
// `parent`: writes are queued and go out in the background (bytesWritten
// as they do), what comes in is announced by readyRead, and a line that
// fails (an adapter unplugged) sets its errorString and emits
// readChannelFinished; it is then closed and useless. `missing` tells a
// port that is not there from one that cannot be opened (held by another
// program or refused to this user).
struct SerialOpening {
    QIODevice *port = nullptr;
    QString error;
    bool missing = false;
};
SerialOpening open_system_serial_port(const QString &name, const SerialSettings &settings,
                                      QObject *parent);

// Empty when the port `name` opens now (closed again at once, its settings
// untouched), else the system's reason, with `missing` set when there is
// no such port at all.
QString try_system_serial_port(const QString &name, bool *missing);

// Drops what came in on `port` (one open_system_serial_port gave) and was
// not read yet.
void clear_system_serial_input(QIODevice *port);

// The names of the serial ports the system knows now, sorted.
QStringList system_serial_port_names();
