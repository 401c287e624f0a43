// SPDX-License-Identifier: MIT
#include "service_link.h"

#include "service_manager.h"

ServiceLink::ServiceLink(const Monitor &monitor, std::vector<std::unique_ptr<Station>> &stations,
                         SteadyClock clock)
    : monitor_(monitor), stations_(stations), clock_(std::move(clock)),
      watchdogMs_(watchdog_interval_ms())
{
    tick_.setInterval(watchdogMs_ > 0 ? qMin(watchdogMs_, 1000) : 1000);
    QObject::connect(&tick_, &QTimer::timeout, [this]() { tick(); });
    if (watchdogMs_ > 0)
        for (auto &station : stations_)
            station->knock();
    tick_.start();
}

void ServiceLink::tick()
{
    if (!ready_ && monitor_.all_started()) {
        ready_ = true;
        tell_ready();
    }
    const QString status = monitor_.summary();
    if (status != status_)
        tell_status(status_ = status);
    if (watchdogMs_ <= 0)
        return;
    // Every thread knocked on last time must have answered since.
    const qint64 now = clock_();
    bool answered = true;
    for (auto &station : stations_)
        answered = answered && now - station->answered() <= watchdogMs_ + 1000;
    if (answered)
        tell_alive();
    for (auto &station : stations_)
        station->knock();
}
