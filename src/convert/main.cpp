// SPDX-License-Identifier: MIT
// nowplaying-convert: one pass over the now-playing document in the working
// folder. Arguments are ignored, and every path ends with exit status 0: the
// playout program that starts us on each track change takes anything else as
// its own failure. A failure is one line on standard error.

#include "pass.h"
#include "program_setup.h"

#include <QDateTime>

#include <cstdio>

int main()
{
    set_up_program();
    // One clock reading: day and hour read apart could straddle midnight and
    // pair Monday's date with Tuesday's hour 0.
    const QString message = pass_message(run_pass(QDateTime::currentDateTime()));
    if (!message.isEmpty()) {
        std::fputs(message.toLocal8Bit().append('\n').constData(), stderr);
        std::fflush(stderr);
    }
    return 0;
}
