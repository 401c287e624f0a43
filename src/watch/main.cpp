// SPDX-License-Identifier: MIT
// nowplaying-watch: makes a pass in the configuration folder at start and
// after every change of its inputs, with the bytes, messages and bad-hours
// gate of nowplaying-convert, until it is asked to stop.

#include "command_line.h"
#include "console.h"
#include "folder_claim.h"
#include "log_line.h"
#include "monitor.h"
#include "paths.h"
#include "program_setup.h"
#include "scheduled_task.h"
#include "service_manager.h"
#include "station.h"
#include "station_names.h"
#include "stop_request.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

const char *const usage =
    "usage: nowplaying-watch [--quiet MS] [--poll MS] [--quiet-log] [FOLDER ...]\n"
    "Makes a pass in each FOLDER (the working directory by default) at start\n"
    "and after every change of settings.txt, rusletters.txt or the document,\n"
    "and logs one line per pass on standard error (in a group of folders,\n"
    "named by the folder's name). After each pass that wrote its files, sends\n"
    "its text to the destinations settings.txt names (SEND1 to SEND9). Stops\n"
    "on Ctrl+C, SIGTERM or SIGHUP, after the pass in progress and at most one\n"
    "timeout of a send in flight.\n"
    "  --quiet MS   wait until the inputs have been still for MS milliseconds\n"
    "               (default 50)\n"
    "  --poll MS    compare size and modification time every MS milliseconds\n"
    "               instead of waiting for notifications (network shares)\n"
    "  --quiet-log  log failed passes only\n"
    "  --log FILE   append the log to FILE instead (FILE.1 keeps the one\n"
    "               before, past 1 MiB)\n"
    "  --status FILE    keep a JSON status of every station and destination\n"
    "  --metrics FILE   keep Prometheus metrics, for the node exporter\n"
    "  --install-task   Windows: register a Task Scheduler task that runs the\n"
    "                   watcher for the folders at startup (schtasks)\n"
    "  --remove-task    Windows: remove it\n"
    "  --print-task     print the task's XML\n"
    "  --help       print this help\n"
    "  --version    print the version\n"
    "Exit status: 0 when stopped, 2 for a single FOLDER that cannot be\n"
    "entered (in a group, a missing folder is waited for), 64 for a usage\n"
    "error, 75 when another watcher serves a folder already.\n";

// As sysexits.h's EX_USAGE, like nowplaying-check.
constexpr int usageError = 64;
// As sysexits.h's EX_TEMPFAIL: another watcher serves a folder already.
constexpr int servedAlready = 75;

int refuse(const QString &why)
{
    print_text(stderr, QStringLiteral("nowplaying-watch: ") + why + QLatin1Char('\n'));
    std::fputs(usage, stderr);
    return usageError;
}

QStringList absolute_paths(const QStringList &folders)
{
    QStringList paths;
    for (const QString &folder : folders)
        paths << QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    return paths;
}

// What the service manager sees: ready once every station has made its
// first pass, a one-line status, and the watchdog's keep-alive, given only
// while every station's thread answers (a station stuck in a pass stops
// it, and the service manager restarts the watcher).
class ServiceManager {
public:
    ServiceManager(const Monitor &monitor, std::vector<std::unique_ptr<Station>> &stations,
                   SteadyClock clock)
        : monitor_(monitor), stations_(stations), clock_(std::move(clock))
    {
        const int watchdog = watchdog_interval_ms();
        tick_.setInterval(watchdog > 0 ? qMin(watchdog, 1000) : 1000);
        QObject::connect(&tick_, &QTimer::timeout, [this, watchdog]() {
            if (!ready_ && monitor_.all_started()) {
                ready_ = true;
                tell_ready();
            }
            const QString status = monitor_.summary();
            if (status != status_)
                tell_status(status_ = status);
            // Every thread knocked on last time must have answered since.
            const qint64 now = clock_();
            bool answered = true;
            for (auto &station : stations_)
                answered =
                    answered && (watchdog == 0 || now - station->answered() <= watchdog + 1000);
            if (answered && watchdog > 0)
                tell_alive();
            for (auto &station : stations_)
                station->knock();
        });
        for (auto &station : stations_)
            station->knock();
        tick_.start();
    }

private:
    const Monitor &monitor_;
    std::vector<std::unique_ptr<Station>> &stations_;
    SteadyClock clock_;
    QTimer tick_;
    bool ready_ = false;
    QString status_;
};

enum class TaskCall { Print, Install, Remove };

// The Task Scheduler task for the folders: printed, or registered or
// removed with schtasks (Windows).
int scheduled_task(TaskCall call, const QStringList &folders)
{
    const QString user = qEnvironmentVariable("USERDOMAIN").isEmpty()
                             ? qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"))
                             : qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') +
                                   qEnvironmentVariable("USERNAME");
    QString xml = task_xml(QCoreApplication::applicationFilePath(), folders, user);
    if (call == TaskCall::Print) {
        print_text(stdout, xml);
        return 0;
    }
    if (!on_windows())
        return refuse(QStringLiteral("Task Scheduler is Windows': here the systemd units run the "
                                     "watcher (nowplaying-watch@.service, "
                                     "nowplaying-watch-group.service)"));
    QStringList arguments{QStringLiteral("/Delete"), QStringLiteral("/TN"), task_name(folders),
                          QStringLiteral("/F")};
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("nowplaying-task-XXXXXX.xml")));
    if (call == TaskCall::Install) {
        // As Task Scheduler writes its own: UTF-16 with a byte-order mark.
        xml.replace(QStringLiteral("<?xml version=\"1.0\"?>"),
                    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
        QByteArray bytes("\xFF\xFE");
        bytes.append(reinterpret_cast<const char *>(xml.utf16()), int(xml.size()) * 2);
        if (!file.open() || file.write(bytes) != bytes.size() || !file.flush()) {
            print_text(stderr, QStringLiteral("nowplaying-watch: cannot write the task's XML\n"));
            return 1;
        }
        arguments = QStringList{QStringLiteral("/Create"),
                                QStringLiteral("/XML"),
                                QDir::toNativeSeparators(file.fileName()),
                                QStringLiteral("/TN"),
                                task_name(folders),
                                QStringLiteral("/F")};
    }
    QProcess schtasks;
    schtasks.setProcessChannelMode(QProcess::ForwardedChannels);
    schtasks.start(QStringLiteral("schtasks"), arguments);
    if (!schtasks.waitForFinished(60000) || schtasks.exitCode() != 0) {
        print_text(stderr,
                   QStringLiteral("nowplaying-watch: schtasks %1 failed (an administrator's "
                                  "prompt is needed to register a task that runs at "
                                  "startup)\n")
                       .arg(arguments.first()));
        return 1;
    }
    print_text(stdout, QStringLiteral("%1 the task \"%2\"\n")
                           .arg(call == TaskCall::Install ? QStringLiteral("registered")
                                                          : QStringLiteral("removed"),
                                task_name(folders)));
    return 0;
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
        quietLog(QStringLiteral("quiet-log")),
        logFile(QStringLiteral("log"), QString(), QStringLiteral("FILE")),
        statusFile(QStringLiteral("status"), QString(), QStringLiteral("FILE")),
        metricsFile(QStringLiteral("metrics"), QString(), QStringLiteral("FILE")),
        installTask(QStringLiteral("install-task")), removeTask(QStringLiteral("remove-task")),
        printTask(QStringLiteral("print-task"));
    parser.addOptions({quiet, poll, quietLog, logFile, statusFile, metricsFile, installTask,
                       removeTask, printTask});
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
    QStringList folders;
    for (const QString &folder : parser.positionalArguments())
        folders << folder_argument(folder);
    if (parser.isSet(printTask) || parser.isSet(installTask) || parser.isSet(removeTask))
        return scheduled_task(parser.isSet(printTask)     ? TaskCall::Print
                              : parser.isSet(installTask) ? TaskCall::Install
                                                          : TaskCall::Remove,
                              folders.isEmpty() ? QStringList{QDir::currentPath()}
                                                : absolute_paths(folders));
    if (folders.size() == 1 && !QDir::setCurrent(folders.first())) {
        print_text(stderr, QStringLiteral("nowplaying-watch: cannot enter the folder ") +
                               folders.first() + QLatin1Char('\n'));
        return 2;
    }
    // Absolute, so that a folder that is removed and made again is found
    // again by its path. In a group, each station's log lines start with
    // its folder's name, and a folder missing at start is waited for.
    const QStringList paths =
        folders.size() < 2 ? QStringList{QDir::currentPath()} : absolute_paths(folders);
    // One watcher per folder: a second would send every text twice.
    std::vector<std::unique_ptr<FolderClaim>> claims;
    for (const QString &path : paths) {
        claims.push_back(std::make_unique<FolderClaim>(path));
        if (claims.back()->taken()) {
            print_text(stderr, QStringLiteral("nowplaying-watch: another watcher serves the folder "
                                              "%1 already\n")
                                   .arg(QDir::toNativeSeparators(path)));
            return servedAlready;
        }
    }
    if (parser.isSet(logFile)) {
        const QString refused = log_to_file(parser.value(logFile));
        if (!refused.isEmpty())
            print_text(stderr, QStringLiteral("nowplaying-watch: cannot write the log file %1 "
                                              "(%2); logging here\n")
                                   .arg(parser.value(logFile), refused));
    }
    QStringList shownPaths;
    for (const QString &path : paths)
        shownPaths << QDir::toNativeSeparators(path);
    log_line(
        stamped(QDateTime::currentDateTime(),
                QStringLiteral("nowplaying-watch %1 started for %2")
                    .arg(QLatin1String(programVersion), shownPaths.join(QStringLiteral(", ")))));
    Monitor monitor(parser.value(statusFile), parser.value(metricsFile));
    std::vector<std::unique_ptr<Station>> stations;
    const QStringList names = station_names(paths);
    for (int i = 0; i < paths.size(); ++i) {
        const QString &path = paths[i];
        options.folder = path;
        options.station = names[i];
        options.monitor = &monitor;
        monitor.station(options.station, path);
        options.log = station_log(paths.size() > 1 ? options.station : QString());
        if (!QFileInfo(path).isDir())
            options.log(QStringLiteral("the folder %1 does not exist: waiting for it")
                            .arg(QDir::toNativeSeparators(path)));
        stations.push_back(std::make_unique<Station>(options));
    }
    quit_on_stop_request();
    for (auto &station : stations)
        station->start();
    ServiceManager service(monitor, stations, options.clock);
    app.exec();
    tell_stopping();
    // Each station finishes its pass and gets one timeout for its sends, all
    // at the same time.
    std::vector<std::thread> stopping;
    for (auto &station : stations)
        stopping.emplace_back([&station]() { station.reset(); });
    for (std::thread &stop : stopping)
        stop.join();
    log_line(stamped(QDateTime::currentDateTime(), QStringLiteral("nowplaying-watch stopped")));
    stop_request_done();
    return 0;
}
