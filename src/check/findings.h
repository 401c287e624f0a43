// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

// What the checker reports: findings, each in a section of the report.

enum class Level { Ok, Note, Warning, Error };

struct Finding {
    QString section;
    Level level;
    QString text;
};

struct Findings {
    QList<Finding> list;
    void add(const QString &section, Level level, const QString &text)
    {
        list.append({section, level, text});
    }
};

// The sections, in the order the report shows them.
extern const QString settingsSection;
extern const QString encodingsSection;
extern const QString hoursSection;
extern const QString lettersSection;
extern const QString outputsSection;
extern const QString watchingSection;
extern const QString previewSection;
extern const QString sendingSection;
extern const QString sendTestSection;
