// SPDX-License-Identifier: MIT
#include "log_line.h"

#include "console.h"

#include <QDateTime>

#include <cstdio>

QString stamped(const QDateTime &when, const QString &text)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + text;
}

void log_line(const QString &line)
{
    if (!line.isEmpty())
        print_text(stderr, line + QLatin1Char('\n'));
}
