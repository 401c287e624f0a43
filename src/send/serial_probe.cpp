// SPDX-License-Identifier: MIT
#include "serial_probe.h"

#include "outside_text.h"
#include "serial_port.h"

#ifdef NOWPLAYING_SERIAL
#include <QSerialPort>
#include <QSerialPortInfo>
#endif

QString serial_port_problem(const QString &name)
{
#ifdef NOWPLAYING_SERIAL
    QSerialPort port(name);
    if (port.open(QIODevice::ReadWrite)) {
        port.close();
        return QString();
    }
    QString names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names += (names.isEmpty() ? QString() : QStringLiteral(", ")) + info.portName();
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("there is no port %1 (the ports found: %2)")
            .arg(name, names.isEmpty() ? QStringLiteral("none") : names);
    case QSerialPort::PermissionError:
        return QStringLiteral("the port %1 is held by another program, or this user may not "
                              "open it (%2)")
            .arg(name, quoted_reply(port.errorString()));
    default:
        return QStringLiteral("the port %1 cannot be opened: %2")
            .arg(name, quoted_reply(port.errorString()));
    }
#else
    if (!system_serial_ports())
        return QStringLiteral("serial ports are not in this build (%1 is not tried)").arg(name);
    bool missing = false;
    const QString error = try_system_serial_port(name, &missing);
    if (error.isEmpty())
        return QString();
    const QStringList names = system_serial_port_names();
    if (missing)
        return QStringLiteral("there is no port %1 (the ports found: %2)")
            .arg(name, names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")));
    return QStringLiteral("the port %1 is held by another program, or this user may not open it "
                          "(%2)")
        .arg(name, quoted_reply(error));
#endif
}
