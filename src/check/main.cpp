// SPDX-License-Identifier: MIT
// nowplaying-check: reads the configuration as the next pass would and
// reports what it will do and every trap found, writing nothing.

#include "check_report.h"
#include "config_check.h"
#include "program_setup.h"

#include <QDateTime>
#include <QDir>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

const char *const usage =
    "usage: nowplaying-check [--json] [FOLDER]\n"
    "Reads settings.txt, rusletters.txt and the now-playing document in FOLDER\n"
    "(the working directory by default) as nowplaying-convert would, writes\n"
    "nothing, and reports each finding as ok, note, warning or error.\n"
    "  --json   print the findings as JSON\n"
    "  --help   print this help\n"
    "Exit status: 0 no warning or error, 1 warnings only, 2 errors.\n";

int refuse(const QString &why)
{
    QTextStream(stderr) << "nowplaying-check: " << why << '\n' << usage;
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    set_up_program();

    bool json = false;
    QStringList folders;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--help")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--json"))
            json = true;
        else if (arg.startsWith(QLatin1Char('-')))
            return refuse(QStringLiteral("unknown option ") + arg);
        else
            folders << arg;
    }
    if (folders.size() > 1)
        return refuse(QStringLiteral("one folder at most"));
    // Relative paths in the settings resolve against this folder, as they
    // would for a pass started in it.
    if (!folders.isEmpty() && !QDir::setCurrent(folders.first()))
        return refuse(QStringLiteral("cannot enter the folder ") + folders.first());

    const QDateTime now = QDateTime::currentDateTime();
    const QList<Finding> findings = check_configuration(now.date().dayOfWeek(), now.time().hour());
    QTextStream(stdout) << (json ? report_json(findings) : report_text(findings));
    return exit_status(findings);
}
