// SPDX-License-Identifier: MIT
#include "watch_program.h"

#include "command_line.h"
#include "console.h"
#include "folder_claim.h"
#include "input_file.h"
#include "log_line.h"
#include "own_files.h"
#include "paths.h"
#include "scheduled_task.h"
#include "service_link.h"
#include "service_manager.h"
#include "station.h"
#include "station_names.h"
#include "status_file.h"
#include "stop_request.h"
#include "version.h"
#include "windows_service.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

const char *const watchUsage =
    "usage: nowplaying-watch [--quiet MS] [--poll MS] [--quiet-log] [--log FILE]\n"
    "                        [--log-size SIZE] [--log-keep N] [--status FILE]\n"
    "                        [--metrics FILE] [--status-page FILE] [FOLDER ...]\n"
    "       nowplaying-watch --print-task | --install-task | --remove-task [options] [FOLDER ...]\n"
    "       nowplaying-watch --install-service [--account NAME] [options] FOLDER ...\n"
    "       nowplaying-watch --remove-service\n"
    "Makes a pass in each FOLDER (the working directory by default) at start\n"
    "and after every change of settings.txt, rusletters.txt, the document or\n"
    "the spellings file, and logs one line per pass (in a group of folders,\n"
    "named by the station).\n"
    "After each pass that wrote its files, sends its text to the destinations\n"
    "settings.txt names (SEND1 to SEND9). Stops on Ctrl+C, SIGTERM or SIGHUP,\n"
    "after the pass in progress and at most one timeout of a send in flight.\n"
    "Relative FILEs are taken from the folder it is started in.\n"
    "  --quiet MS         wait until the inputs have been still for MS\n"
    "                     milliseconds (default 50)\n"
    "  --poll MS          compare size and modification time every MS\n"
    "                     milliseconds instead of waiting for notifications\n"
    "                     (network shares)\n"
    "  --quiet-log        log failed passes only\n"
    "  --log FILE         append the log to FILE instead of standard error\n"
    "  --log-size SIZE    begin a new log file past SIZE bytes (K, M, G for\n"
    "                     KiB, MiB, GiB; default 10M)\n"
    "  --log-keep N       keep N old log files, FILE.1 the newest (default 10)\n"
    "  --status FILE      keep a JSON status of every station and destination,\n"
    "                     rewritten at least every 10 s while it runs\n"
    "  --metrics FILE     keep Prometheus metrics, for the node exporter\n"
    "  --status-page FILE keep an HTML status page a person reads in a browser\n"
    "  --print-task       print the Windows Task Scheduler task that runs the\n"
    "                     watcher with these options at startup, and again\n"
    "                     within a minute should it die\n"
    "  --install-task     Windows: register that task (schtasks)\n"
    "  --remove-task      Windows: remove it\n"
    "  --install-service  Windows, as administrator: register the watcher with\n"
    "                     these options as the service \"nowplaying\", started at\n"
    "                     boot and again 5 s after it dies (its account's\n"
    "                     password, if any, in NOWPLAYING_SERVICE_PASSWORD)\n"
    "  --account NAME     the account the service runs as (default\n"
    "                     NT AUTHORITY\\LocalService)\n"
    "  --remove-service   Windows, as administrator: stop and remove it\n"
    "  --help             print this help\n"
    "  --version          print the version\n"
    "Exit status: 0 when stopped, 2 for a single FOLDER that cannot be\n"
    "entered (in a group, a missing folder is waited for), 64 for a usage\n"
    "error, 73 for a log, status, metrics or page file that cannot be\n"
    "written at start, 75 when another watcher serves a folder already.\n";

namespace {

// As sysexits.h's EX_USAGE, EX_CANTCREAT and EX_TEMPFAIL.
constexpr int usageError = 64;
constexpr int cannotCreate = 73;
constexpr int servedAlready = 75;

constexpr int aDay = 86400000;

// A whole number of milliseconds, 0 up to a day; -1 otherwise.
int milliseconds(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 && value <= aDay ? value : -1;
}

// A size in bytes, with K, M or G for KiB, MiB or GiB: from 64 KiB to
// 1 GiB; -1 otherwise.
qint64 size_in_bytes(QString text)
{
    qint64 unit = 1;
    const QChar last = text.isEmpty() ? QChar() : text.back().toUpper();
    if (last == QLatin1Char('K') || last == QLatin1Char('M') || last == QLatin1Char('G')) {
        unit = last == QLatin1Char('K')   ? 1024
               : last == QLatin1Char('M') ? 1024 * 1024
                                          : 1024 * 1024 * 1024;
        text.chop(1);
    }
    bool ok = false;
    const qint64 count = text.toLongLong(&ok);
    const qint64 highest = qint64(1024) * 1024 * 1024;
    // Compared before the product, which a count like 17179869185G would
    // wrap around into the range.
    if (!ok || count < 0 || count > highest / unit)
        return -1;
    return count * unit >= 64 * 1024 ? count * unit : -1;
}

int refuse(const QString &why, int status)
{
    print_text(stderr, QStringLiteral("nowplaying-watch: ") + why + QLatin1Char('\n'));
    // A service has no console: its refusals are in the system's log too.
    report_event(EventLevel::Error, QStringLiteral("nowplaying-watch: ") + why);
    if (status == usageError)
        std::fputs(watchUsage, stderr);
    return status;
}

QString absolute(const QString &start, const QString &path)
{
    return path.isEmpty() ? path : QDir::cleanPath(QDir(start).absoluteFilePath(path));
}

// What the previous watcher's status file says of its end: a watcher that
// was killed, or crashed, left it "running".
QString previous_end(const QString &statusPath)
{
    // Read as an input is: a FIFO named there must not hold the start.
    const QJsonObject status =
        QJsonDocument::fromJson(statusPath.isEmpty() ? QByteArray()
                                                     : first_bytes(statusPath, 1 << 20))
            .object();
    if (status.value(QStringLiteral("state")).toString() != QLatin1String("running"))
        return QString();
    return QStringLiteral("the watcher before this one ended without stopping (killed, or "
                          "crashed); its last heartbeat was at %1")
        .arg(QDateTime::fromString(status.value(QStringLiteral("heartbeat")).toString(),
                                   Qt::ISODateWithMs)
                 .toLocalTime()
                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

// The task's command line: every option the watcher was given, paths
// absolute, and a log beside the first folder when none was named.
QStringList task_arguments(const WatchCommand &command, const QStringList &folders)
{
    QStringList arguments;
    const auto add = [&](const char *option, const QString &value) {
        if (!value.isEmpty())
            arguments << QLatin1String(option) << value;
    };
    add("--log", QDir::toNativeSeparators(
                     command.log.isEmpty()
                         ? QDir(folders.value(0)).filePath(QStringLiteral("nowplaying-watch.log"))
                         : command.log));
    if (command.logSizeBytes != defaultLogSizeBytes)
        add("--log-size", QString::number(command.logSizeBytes));
    if (command.logKeep != defaultLogKeep)
        add("--log-keep", QString::number(command.logKeep));
    add("--status", QDir::toNativeSeparators(command.files.status));
    add("--metrics", QDir::toNativeSeparators(command.files.metrics));
    add("--status-page", QDir::toNativeSeparators(command.files.page));
    if (command.quietMs != 50)
        add("--quiet", QString::number(command.quietMs));
    if (command.pollMs > 0)
        add("--poll", QString::number(command.pollMs));
    if (command.errorsOnly)
        arguments << QStringLiteral("--quiet-log");
    for (const QString &folder : folders)
        arguments << QDir::toNativeSeparators(folder);
    return arguments;
}

// The service: every option the watcher was given, as for the task, after
// the switch that tells the program the service control manager started it.
int service(const WatchCommand &command, const QStringList &folders)
{
    const bool install = command.task == WatchCommand::Task::InstallService;
    if (install && command.folders.isEmpty())
        return refuse(QStringLiteral("--install-service needs the stations' folders"), usageError);
    const ServiceCall call =
        install
            ? install_service(
                  {windows_command_line(QStringList{QDir::toNativeSeparators(
                                                        QCoreApplication::applicationFilePath()),
                                                    QStringLiteral("--service")} +
                                        task_arguments(command, folders)),
                   command.account, qEnvironmentVariable("NOWPLAYING_SERVICE_PASSWORD")})
            : remove_service();
    if (!call.done)
        return refuse(QStringLiteral("could not %1 the service \"%2\": %3")
                          .arg(install ? QStringLiteral("register") : QStringLiteral("remove"),
                               QLatin1String(serviceName), call.said),
                      1);
    print_text(stdout,
               QStringLiteral("%1 the service \"%2\"%3\n")
                   .arg(install ? QStringLiteral("registered") : QStringLiteral("removed"),
                        QLatin1String(serviceName),
                        call.said.isEmpty() ? QString()
                                            : QStringLiteral(" (") + call.said + QLatin1Char(')')));
    if (install) {
        // Registered all the same: the station may grant the access next.
        for (const QString &folder : folders) {
            const QString problem = account_folder_problem(command.account, folder);
            if (!problem.isEmpty())
                print_text(stdout, QStringLiteral("warning: %1: %2\n")
                                       .arg(QDir::toNativeSeparators(folder), problem));
        }
        print_text(stdout,
                   call.running
                       ? QStringLiteral("it runs on with its earlier options until it is started "
                                        "again: sc stop %1, then sc start %1\n")
                             .arg(QLatin1String(serviceName))
                       : QStringLiteral("start it now with: sc start %1\n")
                             .arg(QLatin1String(serviceName)));
    }
    return 0;
}

int task(const WatchCommand &command, const QStringList &folders)
{
    const QString user = qEnvironmentVariable("USERDOMAIN").isEmpty()
                             ? qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"))
                             : qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') +
                                   qEnvironmentVariable("USERNAME");
    const QString xml = task_xml(QCoreApplication::applicationFilePath(),
                                 task_arguments(command, folders), folders.value(0), user);
    if (command.task == WatchCommand::Task::PrintTask) {
        print_text(stdout, xml);
        return 0;
    }
    if (!on_windows())
        return refuse(QStringLiteral("Task Scheduler is Windows': here the systemd units run the "
                                     "watcher (nowplaying-watch@.service, "
                                     "nowplaying-watch-group.service)"),
                      usageError);
    const bool install = command.task == WatchCommand::Task::InstallTask;
    const TaskCall call =
        install ? register_task(task_name(folders), xml) : remove_task(task_name(folders));
    if (!call.done)
        return refuse(QStringLiteral("schtasks could not %1 the task \"%2\": %3")
                          .arg(install ? QStringLiteral("register") : QStringLiteral("remove"),
                               task_name(folders), call.said),
                      1);
    print_text(stdout, QStringLiteral("%1 the task \"%2\"\n")
                           .arg(install ? QStringLiteral("registered") : QStringLiteral("removed"),
                                task_name(folders)));
    return 0;
}

} // namespace

WatchCommand read_watch_command()
{
    WatchCommand command;
    command.startFolder = QDir::currentPath();
    command.logSizeBytes = defaultLogSizeBytes;
    command.logKeep = defaultLogKeep;
    QCommandLineParser parser;
    const QCommandLineOption quiet(QStringLiteral("quiet"), QString(), QStringLiteral("MS")),
        poll(QStringLiteral("poll"), QString(), QStringLiteral("MS")),
        quietLog(QStringLiteral("quiet-log")),
        log(QStringLiteral("log"), QString(), QStringLiteral("FILE")),
        logSize(QStringLiteral("log-size"), QString(), QStringLiteral("SIZE")),
        logKeep(QStringLiteral("log-keep"), QString(), QStringLiteral("N")),
        status(QStringLiteral("status"), QString(), QStringLiteral("FILE")),
        metrics(QStringLiteral("metrics"), QString(), QStringLiteral("FILE")),
        page(QStringLiteral("status-page"), QString(), QStringLiteral("FILE")),
        installTask(QStringLiteral("install-task")), removeTask(QStringLiteral("remove-task")),
        printTask(QStringLiteral("print-task")), installService(QStringLiteral("install-service")),
        removeService(QStringLiteral("remove-service")),
        account(QStringLiteral("account"), QString(), QStringLiteral("NAME")),
        asService(QStringLiteral("service"));
    parser.addOptions({quiet, poll, quietLog, log, logSize, logKeep, status, metrics, page,
                       installTask, removeTask, printTask, installService, removeService, account,
                       asService});
    const ArgumentsRead read =
        read_arguments(parser, {"nowplaying-watch", programVersion, watchUsage});
    const auto fail = [&command](const QString &why) {
        command.exitStatus = usageError;
        command.error = why;
        return command;
    };
    if (read.answered) {
        command.exitStatus = 0;
        return command;
    }
    if (!read.error.isEmpty())
        return fail(read.error);
    for (const QCommandLineOption *option : {&quiet, &poll}) {
        if (!parser.isSet(*option))
            continue;
        const int ms = milliseconds(parser.value(*option));
        if (ms < 0 || (option == &poll && ms == 0))
            return fail(QStringLiteral("--%1 needs a number of milliseconds from %2 to %3 (a day)")
                            .arg(option->names().first(),
                                 option == &poll ? QStringLiteral("1") : QStringLiteral("0"),
                                 QString::number(aDay)));
        (option == &quiet ? command.quietMs : command.pollMs) = ms;
    }
    if (parser.isSet(logSize)) {
        command.logSizeBytes = size_in_bytes(parser.value(logSize));
        if (command.logSizeBytes < 0)
            return fail(QStringLiteral("--log-size needs a size from 64K to 1G"));
    }
    if (parser.isSet(logKeep)) {
        bool ok = false;
        command.logKeep = parser.value(logKeep).toInt(&ok);
        if (!ok || command.logKeep < 1 || command.logKeep > 99)
            return fail(QStringLiteral("--log-keep needs a number of files from 1 to 99"));
    }
    command.errorsOnly = parser.isSet(quietLog);
    command.log = absolute(command.startFolder, parser.value(log));
    command.files = {absolute(command.startFolder, parser.value(status)),
                     absolute(command.startFolder, parser.value(metrics)),
                     absolute(command.startFolder, parser.value(page))};
    for (const QString &folder : parser.positionalArguments())
        command.folders << folder_argument(folder);
    command.task = parser.isSet(printTask)        ? WatchCommand::Task::PrintTask
                   : parser.isSet(installTask)    ? WatchCommand::Task::InstallTask
                   : parser.isSet(removeTask)     ? WatchCommand::Task::RemoveTask
                   : parser.isSet(installService) ? WatchCommand::Task::InstallService
                   : parser.isSet(removeService)  ? WatchCommand::Task::RemoveService
                                                  : WatchCommand::Task::Watch;
    command.account = parser.value(account);
    command.asService = parser.isSet(asService);
    return command;
}

int run_watch(const WatchCommand &command)
{
    // Absolute, so that a folder that is removed and made again is found
    // again by its path.
    QStringList paths;
    for (const QString &folder : command.folders)
        paths << absolute(command.startFolder, folder);
    if (paths.isEmpty())
        paths << command.startFolder;
    if (command.task != WatchCommand::Task::RemoveService &&
        command.task != WatchCommand::Task::RemoveTask) {
        const QString repeated = repeated_folder(paths);
        if (!repeated.isEmpty())
            return refuse(repeated, usageError);
        const QString clash =
            own_files_clash({{QStringLiteral("--log"), command.log},
                             {QStringLiteral("--status"), command.files.status},
                             {QStringLiteral("--metrics"), command.files.metrics},
                             {QStringLiteral("--status-page"), command.files.page}},
                            paths);
        if (!clash.isEmpty())
            return refuse(clash, usageError);
    }
    if (command.task == WatchCommand::Task::InstallService ||
        command.task == WatchCommand::Task::RemoveService)
        return service(command, paths);
    if (command.task != WatchCommand::Task::Watch)
        return task(command, paths);
    // One folder is entered, as a pass started there would be; in a group
    // a folder missing at start is waited for.
    if (command.folders.size() == 1 && !QDir::setCurrent(paths.first()))
        return refuse(QStringLiteral("cannot enter the folder ") + command.folders.first(), 2);
    // One watcher per folder: a second would send every text twice.
    std::vector<std::unique_ptr<FolderClaim>> claims;
    for (const QString &path : paths) {
        claims.push_back(std::make_unique<FolderClaim>(path));
        if (claims.back()->taken())
            return refuse(QStringLiteral("another watcher serves the folder %1 already")
                              .arg(QDir::toNativeSeparators(path)),
                          servedAlready);
    }
    if (!command.log.isEmpty()) {
        const QString refused = log_to_file(command.log, command.logSizeBytes, command.logKeep);
        if (!refused.isEmpty())
            return refuse(QStringLiteral("cannot write the log file %1: %2")
                              .arg(QDir::toNativeSeparators(command.log), refused),
                          cannotCreate);
    }
    const QString lastEnd = previous_end(command.files.status);
    QStringList shownPaths;
    for (const QString &path : paths)
        shownPaths << QDir::toNativeSeparators(path);
    const LogSink log = station_log(QString());
    const QString startLine =
        QStringLiteral("nowplaying-watch %1 started for %2")
            .arg(QLatin1String(programVersion), shownPaths.join(QStringLiteral(", ")));
    log(startLine);
    report_event(EventLevel::Information, startLine);
    log(lastEnd);
    Monitor monitor(command.files);
    const QStringList names = station_names(paths);
    for (const QString &shared : shared_station_files(paths, names))
        log(shared);
    for (int i = 0; i < paths.size(); ++i)
        monitor.station(names[i], paths[i]);
    const QString unwritable = monitor.write().value_or(QString());
    if (!unwritable.isEmpty())
        return refuse(QStringLiteral("cannot write %1").arg(unwritable), cannotCreate);

    WatchOptions options;
    options.quietMs = command.quietMs;
    options.pollMs = command.pollMs;
    options.errorsOnly = command.errorsOnly;
    options.monitor = &monitor;
    std::vector<std::unique_ptr<Station>> stations;
    for (int i = 0; i < paths.size(); ++i) {
        options.folder = paths[i];
        options.station = names[i];
        options.log = station_log(paths.size() > 1 ? names[i] : QString());
        if (!QFileInfo(paths[i]).isDir())
            options.log(QStringLiteral("the folder %1 does not exist: waiting for it")
                            .arg(QDir::toNativeSeparators(paths[i])));
        stations.push_back(std::make_unique<Station>(options));
    }
    quit_on_stop_request();
    for (auto &station : stations)
        station->start();
    ServiceLink service(monitor, stations, options.clock);
    // The heartbeat, and every change at most every Monitor::minGapMs.
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&]() {
        const QString news = monitor.write_and_tell();
        if (!news.isEmpty())
            log(news);
    });
    beat.start(Monitor::minGapMs);
    QCoreApplication::exec();
    beat.stop();
    tell_stopping();
    // Nothing is watched from here: the files say so now, not once the
    // slowest send in flight has had its timeout (a day at the most).
    monitor.stop();
    // Each station finishes its pass and gets one timeout for its sends, all
    // at the same time.
    for (auto &station : stations)
        station->finish();
    stations.clear();
    monitor.stop();
    log(QStringLiteral("nowplaying-watch stopped"));
    report_event(EventLevel::Information, QStringLiteral("nowplaying-watch stopped"));
    stop_request_done();
    return 0;
}
