// SPDX-License-Identifier: MIT
#include "serial_probe.h"

#include "outside_text.h"
#include "port_holders.h"
#include "serial_port.h"

#ifdef NOWPLAYING_SERIAL
#include <QSerialPort>
#include <QSerialPortInfo>
#endif

namespace {

// A line of the report stays short however many hold the port.
QStringList shown_holders(const QString &name)
{
    QStringList holders = serial_port_holders(name);
    const int shown = 4, more = int(holders.size()) - shown;
    if (more > 0)
        holders = holders.mid(0, shown) << QStringLiteral("%1 more").arg(more);
    for (QString &holder : holders)
        holder = quoted_reply(holder, 80);
    return holders;
}

QString not_there(const QString &name, const QStringList &found)
{
    return QStringLiteral("there is no port %1 (the ports found: %2)")
        .arg(name, found.isEmpty() ? QStringLiteral("none") : found.join(QStringLiteral(", ")));
}

QString refused(const QString &name, const QStringList &holders, const QString &error)
{
    return holders.isEmpty()
               ? QStringLiteral("the port %1 is held by another program, or this "
                                "user may not open it (%2)")
                     .arg(name, quoted_reply(error))
               : QStringLiteral("the port %1 is held by %2 (%3)")
                     .arg(name, holders.join(QStringLiteral(", ")), quoted_reply(error));
}

// Why the port does not open, empty when it does.
QString opening_problem(const QString &name, const QStringList &holders)
{
#ifdef NOWPLAYING_SERIAL
    QSerialPort port(name);
    if (port.open(QIODevice::ReadWrite)) {
        port.close();
        return QString();
    }
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError: {
        QStringList found;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            found << info.portName();
        return not_there(name, found);
    }
    case QSerialPort::PermissionError:
        return refused(name, holders, port.errorString());
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
    return missing ? not_there(name, system_serial_port_names()) : refused(name, holders, error);
#endif
}

} // namespace

SerialPortState serial_port_state(const QString &name)
{
    // The holders are looked for first: the checker's own open is then not
    // among them.
    SerialPortState state;
    state.holders = shown_holders(name);
    state.problem = opening_problem(name, state.holders);
    return state;
}

bool held_by_a_watcher(const QString &holder)
{
    return holder.startsWith(QLatin1String("nowplaying-watch ")) ||
           holder.startsWith(QLatin1String("nowplaying-watch.exe "), Qt::CaseInsensitive);
}
