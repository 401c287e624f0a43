// SPDX-License-Identifier: MIT
#include "clock.h"

#include <QElapsedTimer>

SteadyClock system_steady_clock()
{
    return []() {
        static const QElapsedTimer start = []() {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return start.elapsed();
    };
}
