// SPDX-License-Identifier: MIT
// nowplaying-check: reads the configuration as the next pass would and
// reports what it will do and every trap found, writing nothing.

#include "check_configuration.h"
#include "check_report.h"
#include "command_line.h"
#include "console.h"
#include "input_file.h"
#include "paths.h"
#include "program_setup.h"
#include "status_report.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QStringList>

#include <cstdio>

namespace {

// Distinct from the report's own 0, 1 and 2, so that monitoring can tell a
// broken call from a broken configuration (the value of EX_USAGE).
constexpr int usageError = 64;

const char *const usage =
    "usage: nowplaying-check [--json] [--send-test] [FOLDER]\n"
    "       nowplaying-check --status FILE\n"
    "Reads settings.txt, rusletters.txt and the now-playing document in FOLDER\n"
    "(the working directory by default) as nowplaying-convert would, writes\n"
    "nothing, and reports each finding as ok, note, warning or error.\n"
    "  --json     print the findings and the bytes the pass would write as JSON\n"
    "  --send-test  send the current text once to each destination (SEND1 to\n"
    "             SEND9) and report each answer\n"
    "  --status FILE  print a watcher's status file (nowplaying-watch --status):\n"
    "             whether the watcher runs, stopped or died, then failing\n"
    "             stations and destinations first; exit status 2 when it\n"
    "             stopped or died, 1 when one fails\n"
    "  --help     print this help\n"
    "  --version  print the version\n"
    "Exit status: 0 no warning or error, 1 warnings only, 2 errors (a FOLDER\n"
    "that cannot be entered is one), 64 a usage error.\n";

int refuse(const QString &why, int status)
{
    print_text(stderr, QStringLiteral("nowplaying-check: ") + why + QLatin1Char('\n'));
    if (status == usageError)
        std::fputs(usage, stderr);
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    set_up_program();
    // For --send-test's network replies.
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json")), sendTest(QStringLiteral("send-test")),
        status(QStringLiteral("status"), QString(), QStringLiteral("FILE"));
    parser.addOptions({json, sendTest, status});
    const ArgumentsRead read = read_arguments(parser, {"nowplaying-check", programVersion, usage});
    if (read.answered)
        return 0;
    if (!read.error.isEmpty())
        return refuse(read.error, usageError);
    if (parser.isSet(status)) {
        // A watcher's status file, for a person: 0 when all is well, 1 when
        // something fails, 2 when the watcher stopped or died or the file
        // cannot be read as one.
        // Read as an input is: a FIFO there would hang the check, and on
        // Windows the watcher must stay free to replace the file meanwhile.
        const StatusReport shown = status_report(first_bytes(parser.value(status), 64 << 20),
                                                 QDateTime::currentDateTime());
        if (shown.text.isEmpty())
            return refuse(
                QStringLiteral("%1 is not a watcher's status file").arg(parser.value(status)), 2);
        print_text(stdout, shown.text);
        return shown.exitStatus;
    }
    QStringList folders;
    for (const QString &folder : parser.positionalArguments())
        folders << folder_argument(folder);
    if (folders.size() > 1)
        return refuse(QStringLiteral("one folder at most"), usageError);
    // Relative paths in the settings resolve against this folder, as they
    // would for a pass started in it.
    if (!folders.isEmpty() && !QDir::setCurrent(folders.first()))
        return refuse(QStringLiteral("cannot enter the folder ") + folders.first(), 2);

    const CheckReport report = check_configuration(QDateTime::currentDateTime(),
                                                   parser.isSet(sendTest), parser.isSet(json));
    print_text(stdout, parser.isSet(json) ? report_json(report) : report_text(report.findings));
    return exit_status(report.findings);
}
