// SPDX-License-Identifier: MIT
// nowplaying-watch: makes a pass in the configuration folder at start and
// after every change of its inputs, with the bytes, messages and bad-hours
// gate of nowplaying-convert, until it is asked to stop.

#include "command_line.h"
#include "console.h"
#include "program_setup.h"
#include "stop_request.h"
#include "version.h"
#include "watcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTimer>

#include <cstdio>

namespace {

const char *const usage =
    "usage: nowplaying-watch [--quiet MS] [--poll MS] [--quiet-log] [FOLDER]\n"
    "Makes a pass in FOLDER (the working directory by default) at start and\n"
    "after every change of settings.txt, rusletters.txt or the document, and\n"
    "logs one line per pass on standard error. After each pass that wrote its\n"
    "files, sends its text to the destinations settings.txt names (SEND1 to\n"
    "SEND9). Stops on Ctrl+C, SIGTERM or SIGHUP, after the pass in progress\n"
    "and at most one timeout of a send in flight.\n"
    "  --quiet MS   wait until the inputs have been still for MS milliseconds\n"
    "               (default 50)\n"
    "  --poll MS    compare size and modification time every MS milliseconds\n"
    "               instead of waiting for notifications (network shares)\n"
    "  --quiet-log  log failed passes only\n"
    "  --help       print this help\n"
    "  --version    print the version\n"
    "Exit status: 0 when stopped, 2 for a FOLDER that cannot be entered, 64\n"
    "for a usage error.\n";

// As sysexits.h's EX_USAGE, like nowplaying-check.
constexpr int usageError = 64;

int refuse(const QString &why)
{
    print_text(stderr, QStringLiteral("nowplaying-watch: ") + why + QLatin1Char('\n'));
    std::fputs(usage, stderr);
    return usageError;
}

// A whole number of milliseconds, 0 up to a day; -1 otherwise.
int milliseconds(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 && value <= 86400000 ? value : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    set_up_program();
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption quiet(QStringLiteral("quiet"), QString(), QStringLiteral("MS")),
        poll(QStringLiteral("poll"), QString(), QStringLiteral("MS")),
        quietLog(QStringLiteral("quiet-log"));
    parser.addOptions({quiet, poll, quietLog});
    const ArgumentsRead read = read_arguments(parser, {"nowplaying-watch", programVersion, usage});
    if (read.answered)
        return 0;
    if (!read.error.isEmpty())
        return refuse(read.error.endsWith(QLatin1String(" needs a value"))
                          ? read.error.chopped(7) + QStringLiteral("a number of milliseconds")
                          : read.error);

    WatchOptions options;
    options.errorsOnly = parser.isSet(quietLog);
    for (const QCommandLineOption *option : {&quiet, &poll}) {
        if (!parser.isSet(*option))
            continue;
        const int ms = milliseconds(parser.value(*option));
        if (ms < 0 || (option == &poll && ms == 0))
            return refuse(QStringLiteral("--") + option->names().first() +
                          QStringLiteral(" needs a number of milliseconds"));
        (option == &quiet ? options.quietMs : options.pollMs) = ms;
    }
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        return refuse(QStringLiteral("one folder at most"));
    if (!folders.isEmpty() && !QDir::setCurrent(folders.first())) {
        print_text(stderr, QStringLiteral("nowplaying-watch: cannot enter the folder ") +
                               folders.first() + QLatin1Char('\n'));
        return 2;
    }
    // Absolute, so that a folder that is removed and made again is found
    // again by its path.
    options.folder = QDir::currentPath();

    Watcher watcher(options);
    quit_on_stop_request();
    QTimer::singleShot(0, &watcher, &Watcher::start);
    app.exec();
    watcher.finish_sending();
    stop_request_done();
    return 0;
}
