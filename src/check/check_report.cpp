// SPDX-License-Identifier: MIT
#include "check_report.h"

#include <QCryptographicHash>
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

QString counted(int n, const char *noun)
{
    return QStringLiteral("%1 %2%3").arg(QString::number(n), QLatin1String(noun),
                                         n == 1 ? QString() : QStringLiteral("s"));
}

QJsonValue preview_entry(const Preview &preview, Output which)
{
    const PreviewOutput *output = previewed(preview, which);
    if (!output)
        return QJsonValue::Null;
    QJsonObject entry{{QStringLiteral("path"), output->path},
                      {QStringLiteral("encoding"), output->encoding}};
    if (which != Output::Copy) {
        entry.insert(QStringLiteral("base64"), QString::fromLatin1(output->bytes.toBase64()));
        return entry;
    }
    entry.insert(QStringLiteral("declaration"),
                 output->declaration ? QJsonValue(*output->declaration) : QJsonValue::Null);
    entry.insert(QStringLiteral("size"), output->bytes.size());
    entry.insert(QStringLiteral("sha256"),
                 QString::fromLatin1(
                     QCryptographicHash::hash(output->bytes, QCryptographicHash::Sha256).toHex()));
    return entry;
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
                out +=
                    QStringLiteral("  %1 %2\n").arg(level_name(f.level).leftJustified(8), f.text);
        out += QLatin1Char('\n');
    }
    return out + counted(count(findings, Level::Error), "error") + QStringLiteral(", ") +
           counted(count(findings, Level::Warning), "warning") + QStringLiteral(", ") +
           counted(count(findings, Level::Note), "note") + QLatin1Char('\n');
}

QString report_json(const CheckReport &report)
{
    const QList<Finding> &findings = report.findings;
    QJsonArray list;
    for (const Finding &f : findings)
        list.append(QJsonObject{{QStringLiteral("section"), f.section},
                                {QStringLiteral("level"), level_name(f.level)},
                                {QStringLiteral("text"), f.text}});
    const QJsonObject preview{{QStringLiteral("copy"), preview_entry(report.preview, Output::Copy)},
                              {QStringLiteral("meta"), preview_entry(report.preview, Output::Meta)},
                              {QStringLiteral("rds"), preview_entry(report.preview, Output::Rds)}};
    const QJsonObject json{{QStringLiteral("status"), exit_status(findings)},
                           {QStringLiteral("errors"), count(findings, Level::Error)},
                           {QStringLiteral("warnings"), count(findings, Level::Warning)},
                           {QStringLiteral("notes"), count(findings, Level::Note)},
                           {QStringLiteral("findings"), list},
                           {QStringLiteral("preview"), preview}};
    return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented));
}

int exit_status(const QList<Finding> &findings)
{
    if (count(findings, Level::Error) > 0)
        return 2;
    return count(findings, Level::Warning) > 0 ? 1 : 0;
}
