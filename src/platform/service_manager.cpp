// SPDX-License-Identifier: MIT
#include "service_manager.h"

#ifdef NOWPLAYING_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

#ifdef NOWPLAYING_SYSTEMD

int watchdog_interval_ms()
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0)
        return 0;
    return int(usec / 2000);
}

void tell_ready()
{
    sd_notify(0, "READY=1");
}

void tell_status(const QString &status)
{
    sd_notify(0, (QByteArrayLiteral("STATUS=") + status.toUtf8()).constData());
}

void tell_alive()
{
    sd_notify(0, "WATCHDOG=1");
}

void tell_stopping()
{
    sd_notify(0, "STOPPING=1");
}

#else

int watchdog_interval_ms()
{
    return 0;
}

void tell_ready()
{
}

void tell_status(const QString &)
{
}

void tell_alive()
{
}

void tell_stopping()
{
}

#endif
