// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What each program does first: Qt's own diagnostics are dropped, so that
// standard error carries only the program's messages (whoever watches the log
// would take Qt's for them), and the process takes its locale, which decides
// the encoding of the RDS file and of file names, before anything else runs.
// On Windows the locale encoding is Qt's own codec for the ANSI code page, so
// that a character the code page lacks is written "?" as on Linux, never as
// a look-alike.
void set_up_program();

// The name of the locale encoding, as an XML declaration would give it:
// "UTF-8" on Linux, the ANSI code page ("windows-1251") on Windows.
QString locale_encoding_name();
