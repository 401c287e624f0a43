// SPDX-License-Identifier: MIT
#pragma once
// Rows that start a real server (Debian's icecast2, mosquitto): where the
// developer keeps the scripts from installing it (NOWPLAYING_NO_INSTALL=1)
// and it is missing, the row is skipped by name with that reason; anywhere
// else a missing server fails the row.

#include <QStandardPaths>
#include <QtTest>

#define SKIP_IF_SERVER_MISSING(program)                                                            \
    do {                                                                                           \
        if (QStandardPaths::findExecutable(program).isEmpty() &&                                   \
            QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"}).isEmpty() &&           \
            qgetenv("NOWPLAYING_NO_INSTALL") == "1")                                               \
            QSKIP(program " is not installed (NOWPLAYING_NO_INSTALL=1 keeps scripts/test from "    \
                          "installing it)");                                                       \
    } while (false)
