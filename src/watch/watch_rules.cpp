// SPDX-License-Identifier: MIT
#include "watch_rules.h"

#include <QDateTime>

int quiet_wait_ms(int quietMs, qint64 waitingForMs)
{
    return int(qMax<qint64>(0, qMin<qint64>(quietMs, longestWaitMs - waitingForMs)));
}

int ms_to_next_hour(const QDateTime &now)
{
    const QDateTime hour(now.date(), QTime(now.time().hour(), 0));
    return int(qMax<qint64>(1, now.msecsTo(hour.addSecs(3600)) + 1));
}
