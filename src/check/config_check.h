// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

// What the next pass would make of the configuration in the current
// directory, read through the same functions the pass uses.

enum class Level { Ok, Note, Warning, Error };

struct Finding {
    QString section;
    Level level;
    QString text;
};

// `day` (1 Monday .. 7 Sunday) and `hour` are "now", for the bad-hours gate.
// Reads only; writes nothing.
QList<Finding> check_configuration(int day, int hour);
