// SPDX-License-Identifier: MIT
#include "check_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

QString level_name(Level level)
{
    switch (level) {
    case Level::Ok:
        return QStringLiteral("ok");
    case Level::Note:
        return QStringLiteral("note");
    case Level::Warning:
        return QStringLiteral("warning");
    case Level::Error:
        return QStringLiteral("error");
    }
    return QString();
}

int count(const QList<Finding> &findings, Level level)
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [level](const Finding &f) { return f.level == level; }));
}

} // namespace

QString report_text(const QList<Finding> &findings)
{
    QStringList sections;
    for (const Finding &f : findings)
        if (!sections.contains(f.section))
            sections << f.section;
    QString out;
    for (const QString &section : sections) {
        out += section + QLatin1Char('\n');
        for (const Finding &f : findings)
            if (f.section == section)
                out += QStringLiteral("  %1 %2\n").arg(level_name(f.level), -8).arg(f.text);
        out += QLatin1Char('\n');
    }
    return out + QStringLiteral("%1 errors, %2 warnings, %3 notes\n")
                     .arg(count(findings, Level::Error))
                     .arg(count(findings, Level::Warning))
                     .arg(count(findings, Level::Note));
}

QString report_json(const QList<Finding> &findings)
{
    QJsonArray list;
    for (const Finding &f : findings)
        list.append(QJsonObject{{QStringLiteral("section"), f.section},
                                {QStringLiteral("level"), level_name(f.level)},
                                {QStringLiteral("text"), f.text}});
    const QJsonObject report{{QStringLiteral("status"), exit_status(findings)},
                             {QStringLiteral("errors"), count(findings, Level::Error)},
                             {QStringLiteral("warnings"), count(findings, Level::Warning)},
                             {QStringLiteral("notes"), count(findings, Level::Note)},
                             {QStringLiteral("findings"), list}};
    return QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Indented));
}

int exit_status(const QList<Finding> &findings)
{
    if (count(findings, Level::Error) > 0)
        return 2;
    return count(findings, Level::Warning) > 0 ? 1 : 0;
}
