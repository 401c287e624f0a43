// SPDX-License-Identifier: MIT
#include "stop_request.h"

#include <QCoreApplication>

#include <atomic>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// Lock-free, so that a signal handler may set it.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

#ifdef Q_OS_WIN

HANDLE loopDone = nullptr;

BOOL WINAPI on_console_event(DWORD event)
{
    request_interruption();
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
    // Windows ends the process when this returns from any of these.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(loopDone, 4000);
    return TRUE;
}

#else

// The handler may do next to nothing: it writes a byte that the event loop
// reads.
int wakeUp[2] = {-1, -1};

void on_signal(int)
{
    request_interruption();
    const char byte = 1;
    const ssize_t written = write(wakeUp[0], &byte, 1);
    (void)written;
}

#endif

} // namespace

void request_interruption()
{
    requested.store(true);
}

bool interruption_requested()
{
    return requested.load();
}

void quit_on_stop_request()
{
#ifdef Q_OS_WIN
    loopDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeUp) != 0)
        return;
    auto *notifier =
        new QSocketNotifier(wakeUp[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed terminal is a stop request like any other, not a failure.
    sigaction(SIGHUP, &action, nullptr);
#endif
}

void stop_request_done()
{
#ifdef Q_OS_WIN
    if (loopDone)
        SetEvent(loopDone);
#endif
}
