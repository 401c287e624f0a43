// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

// What each program does first: Qt's own diagnostics are dropped, so that
// standard error carries only the program's messages (whoever watches the log
// would take Qt's for them), and the process takes its locale, which decides
// the encoding of the RDS file and of file names. (An application object
// would set the locale too, at the cost of an event loop a pass never runs.)
// On Windows the locale encoding is Qt's own codec for the ANSI code page, so
// that a character the code page lacks is written "?" as on Linux, never as
// a look-alike.
void set_up_program();

// The program's arguments after its name, as the user typed them. On Windows
// they come from the wide command line: `argv` holds them in the ANSI code
// page, which turns a folder named "Café ü" on a Russian Windows, or a
// Cyrillic one on a Western Windows, into question marks.
QStringList program_arguments(int argc, char *argv[]);
