// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

class QDateTime;

// What the next pass would make of the configuration in the working folder,
// read through the functions the pass itself uses. Reads only; writes
// nothing.

enum class Level { Ok, Note, Warning, Error };

struct Finding {
    QString section;
    Level level;
    QString text;
};

// One output as the next pass would write it.
struct PreviewOutput {
    QString path;
    QString encoding;                   // the name of the codec it is written in
    QByteArray bytes;                   // exactly what is written
    std::optional<QString> declaration; // the copy's XML declaration, if it has one
};

struct CheckReport {
    QList<Finding> findings;
    // The copy, the META file and the RDS file that a pass at the checked
    // time would write; empty where it would stop before writing one.
    std::array<std::optional<PreviewOutput>, 3> preview;
};

// Checks the configuration in the working folder for a pass at `now`; with
// `sendTest`, also sends the current text once to each destination (which
// needs a QCoreApplication) and reports the answers.
CheckReport check_configuration(const QDateTime &now, bool sendTest = false);
