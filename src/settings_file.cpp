#include "settings_file.h"

#include "tag_extract.h"
#include "text_file.h"

#include <QStringList>

const std::array<SettingTag, 9> settingTags = {{
    {"XML", &RunSettings::xmlName},
    {"RDS", &RunSettings::rdsName},
    {"NEWXML", &RunSettings::newXmlName},
    {"META", &RunSettings::metaName},
    {"RDSSPLITTER", &RunSettings::rdsSplitter},
    {"METASPLITTER", &RunSettings::metaSplitter},
    {"METAENC", &RunSettings::metaEnc},
    {"INXMLENC", &RunSettings::inXmlEnc},
    {"OUTXMLENC", &RunSettings::outXmlEnc},
}};

RunSettings settings_from_text(QString prSettings)
{
    RunSettings s;
    s.prSettings = prSettings;
    for (const SettingTag &setting : settingTags)
        s.*setting.field = extract(prSettings, QLatin1String(setting.tag));
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
