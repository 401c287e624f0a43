// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The serial port `name` (COM3, /dev/ttyUSB0) as it stands now.
struct SerialPortState {
    // Empty when the port opens (closed again at once, its settings
    // untouched); else why not: not there (naming the ports found), held
    // by another program or refused to this user, or a build without
    // serial ports.
    QString problem;
    // The programs other than this one that have the port open, where the
    // system tells, each as "NAME (process N)", cleaned and cut to a few
    // (the last then "N more"). Windows admits one program to a port;
    // Linux admits several unless they lock it, and what they write then
    // goes out mixed.
    QStringList holders;
};
SerialPortState serial_port_state(const QString &name);

// Whether `holder` (one of SerialPortState's) is a watcher of ours, which
// holds the port for as long as it runs.
bool held_by_a_watcher(const QString &holder);
