// SPDX-License-Identifier: MIT
#pragma once
// Waiting for what a loopback stand-in (a fake destination, an Icecast
// listener) sees: they live in this thread's event loop, so it must run.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// Spins the event loop until `done` or `ms` milliseconds pass.
inline bool wait_until(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}
