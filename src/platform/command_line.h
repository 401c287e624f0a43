// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// Reading a program's arguments, the same way in every program: with
// QCommandLineParser over QCoreApplication::arguments() (on Windows the wide
// command line, so that a folder named in any script arrives as typed).
// Words after a single dash are option names (-json is --json).

// What a program says of itself when asked.
struct ProgramAbout {
    const char *name;    // "nowplaying-check"
    const char *version; // "1.1.0"
    const char *usage;   // the whole usage text, line ends included
};

struct ArgumentsRead {
    bool answered = false; // --help or --version was printed: the program ends there, with 0
    QString error;         // what is wrong, for the user ("unknown option --x"); empty if nothing
};

// Reads the program's arguments with `parser`, which holds the program's own
// options; --help and --version are added here. When one of them is given
// (alone, with `aloneOnly`) and nothing is wrong, prints the usage or
// "NAME VERSION" on standard output.
ArgumentsRead read_arguments(QCommandLineParser &parser, const ProgramAbout &about,
                             bool aloneOnly = false);
