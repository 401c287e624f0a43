// SPDX-License-Identifier: MIT
// nowplaying-convert: one pass over the now-playing document in the working
// folder. Arguments are ignored, and every path ends with exit status 0: the
// playout program that starts us on each track change takes anything else as
// its own failure. A failure is one line on standard error.

#include "command_line.h"
#include "console.h"
#include "pass.h"
#include "program_setup.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

namespace {

const char *const usage =
    "usage: nowplaying-convert\n"
    "Makes one pass in the working folder: reads settings.txt, rusletters.txt\n"
    "and the now-playing document the settings name, and writes the copy, the\n"
    "META file and the RDS file. Other arguments are ignored. A failure is one\n"
    "line on standard error; the exit status is always 0.\n"
    "  --help       print this help (alone: no pass)\n"
    "  --version    print the version (alone: no pass)\n";

// A file another program holds open (Windows) is tried again for this long
// before the pass gives up with its message.
constexpr int heldRetryForMs = 1000;

} // namespace

int main(int argc, char *argv[])
{
    set_up_program();
    // The pass itself needs no application object: made only to read
    // arguments, it spares a pass on every track change a sixth of its
    // start (the whole locale, an event dispatcher).
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        // Only these two, alone: a playout program that passes its own
        // arguments still gets its pass, whatever they are.
        QCommandLineParser parser;
        if (read_arguments(parser, {"nowplaying-convert", programVersion, usage}, true).answered)
            return 0;
    }
    // One clock reading: day and hour read apart could straddle midnight and
    // pair Monday's date with Tuesday's hour 0.
    const QString message =
        pass_message(run_pass(QDateTime::currentDateTime(), QString(), heldRetryForMs));
    if (!message.isEmpty())
        print_text(stderr, message + QLatin1Char('\n'));
    return 0;
}
