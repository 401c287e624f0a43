// SPDX-License-Identifier: MIT
// nowplaying-watch: makes a pass in the configuration folder at start and
// after every change of its inputs, with the bytes, messages and bad-hours
// gate of nowplaying-convert, and sends each pass's text on air, until it
// is asked to stop.

#include "console.h"
#include "program_setup.h"
#include "watch_program.h"
#include "windows_service.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    set_up_program();
    QCoreApplication app(argc, argv);
    const WatchCommand command = read_watch_command();
    if (command.exitStatus >= 0) {
        if (!command.error.isEmpty()) {
            print_text(stderr,
                       QStringLiteral("nowplaying-watch: ") + command.error + QLatin1Char('\n'));
            std::fputs(watchUsage, stderr);
        }
        return command.exitStatus;
    }
    // Started by the service control manager: it is told when the watcher
    // runs and when it has stopped.
    const bool service = command.asService && serve_service_control();
    const int status = run_watch(command);
    if (service)
        service_stopped(status);
    return status;
}
