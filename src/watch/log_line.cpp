// SPDX-License-Identifier: MIT
#include "log_line.h"

#include "console.h"

#include <QDateTime>
#include <QMutex>

#include <cstdio>

QString stamped(const QDateTime &when, const QString &text)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + text;
}

void log_line(const QString &line)
{
    static QMutex one;
    if (line.isEmpty())
        return;
    const QMutexLocker lock(&one);
    print_text(stderr, line + QLatin1Char('\n'));
}

LogSink station_log(const QString &station)
{
    const QString prefix = station.isEmpty() ? QString() : station + QStringLiteral(": ");
    return [prefix](const QString &line) {
        if (!line.isEmpty())
            log_line(stamped(QDateTime::currentDateTime(), prefix + line));
    };
}
