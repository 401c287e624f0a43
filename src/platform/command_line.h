// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// Reading a program's arguments, the same way in every program: with
// QCommandLineParser over QCoreApplication::arguments() (on Windows the wide
// command line, so that a folder named in any script arrives as typed).
// Words after a single dash are option names (-json is --json).

// Parses `arguments` (the program's name first) with `parser`. Nothing when
// they are sound; otherwise what is wrong, for the user: "unknown option
// --x" (the option as typed) or "--quiet needs a value".
QString argument_error(QCommandLineParser &parser, const QStringList &arguments);
