// SPDX-License-Identifier: MIT
// nowplaying-convert: one pass over the now-playing document in the working
// folder. Arguments are ignored, and every path ends with exit status 0: the
// playout program that starts us on each track change takes anything else as
// its own failure. A failure is one line on standard error.

#include "console_text.h"
#include "pass.h"
#include "program_setup.h"
#include "version.h"

#include <QDateTime>

#include <cstdio>
#include <cstring>

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
    // Only these two, alone: a playout program that passes its own
    // arguments still gets its pass.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("nowplaying-convert %s\n", programVersion);
        return 0;
    }
    set_up_program();
    // One clock reading: day and hour read apart could straddle midnight and
    // pair Monday's date with Tuesday's hour 0.
    const QString message =
        pass_message(run_pass(QDateTime::currentDateTime(), QString(), heldRetryForMs));
    if (!message.isEmpty())
        print_text(stderr, message + QLatin1Char('\n'));
    return 0;
}
