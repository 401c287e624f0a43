#include "settings_file.h"

#include "tag_extract.h"
#include "text_file.h"

#include <QStringList>

RunSettings settings_from_text(QString prSettings)
{
    RunSettings s;
    s.prSettings = prSettings;
    s.xmlName = extract(prSettings, QStringLiteral("XML"));
    s.rdsName = extract(prSettings, QStringLiteral("RDS"));
    s.newXmlName = extract(prSettings, QStringLiteral("NEWXML"));
    s.metaName = extract(prSettings, QStringLiteral("META"));
    s.rdsSplitter = extract(prSettings, QStringLiteral("RDSSPLITTER"));
    s.metaSplitter = extract(prSettings, QStringLiteral("METASPLITTER"));
    s.metaEnc = extract(prSettings, QStringLiteral("METAENC"));
    s.inXmlEnc = extract(prSettings, QStringLiteral("INXMLENC"));
    s.outXmlEnc = extract(prSettings, QStringLiteral("OUTXMLENC"));
    return s;
}

std::optional<RunSettings> load_settings(const QString &path)
{
    // No codec: a byte-order mark decides, otherwise the locale encoding.
    const std::optional<QString> text = read_text_file(path, nullptr);
    if (!text)
        return std::nullopt;
    return settings_from_text(*text);
}

bool in_bad_hours(const RunSettings &settings, int day, int hour)
{
    const QString timeTag = QStringLiteral("TIME") + QString::number(day);
    const QString badHours = extract(settings.prSettings, timeTag);
    const QStringList timeList = badHours.split(QLatin1Char(','), Qt::KeepEmptyParts);
    return timeList.contains(QString::number(hour), Qt::CaseSensitive);
}
