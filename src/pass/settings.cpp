// SPDX-License-Identifier: MIT
#include "settings.h"

#include "paths.h"
#include "tag_extract.h"
#include "text_file.h"

#include <algorithm>

const std::array<SettingTag, 9> settingTags = {{
    {"XML", &RunSettings::documentPath},
    {"RDS", &RunSettings::rdsPath},
    {"NEWXML", &RunSettings::copyPath},
    {"META", &RunSettings::metaPath},
    {"RDSSPLITTER", &RunSettings::rdsSplitter},
    {"METASPLITTER", &RunSettings::metaSplitter},
    {"METAENC", &RunSettings::metaEncoding},
    {"INXMLENC", &RunSettings::documentEncoding},
    {"OUTXMLENC", &RunSettings::copyEncoding},
}};

QString without_quotes(const QString &path)
{
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        return path.mid(1, path.size() - 2);
    return path;
}

RunSettings settings_from_text(const QString &text)
{
    RunSettings settings;
    settings.text = text;
    for (const SettingTag &setting : settingTags)
        settings.*setting.field = extract(text, QLatin1String(setting.tag));
    // Explorer's "Copy as path" puts the path in double quotes, which no
    // Windows file name can hold.
    if (!file_names_may_hold_quotes())
        for (QString *path :
             {&settings.documentPath, &settings.copyPath, &settings.metaPath, &settings.rdsPath})
            *path = without_quotes(*path);
    settings.idleText = extract(text, QStringLiteral("IDLETEXT"));
    settings.follow = extract(text, QStringLiteral("FOLLOW")).trimmed();
    // A language code is one in any case ("UK" is "uk").
    settings.latinLanguage = extract(text, QStringLiteral("LATIN")).trimmed().toLower();
    settings.spellingsPath = extract(text, QStringLiteral("SPELLINGS")).trimmed();
    if (!file_names_may_hold_quotes())
        settings.spellingsPath = without_quotes(settings.spellingsPath);
    // Most stations send nothing: one search spares them 27 (a tenth of a
    // pass's own time).
    const bool sends = text.contains(QLatin1String("<SEND"));
    for (int n = 1; sends && n <= maxDestinations; ++n) {
        const QString tag = QStringLiteral("SEND") + QString::number(n);
        const QString url = extract(text, tag).trimmed();
        if (url.isEmpty())
            continue;
        const QString idle = extract(text, tag + QStringLiteral("IDLE"));
        settings.destinations.push_back({tag, url, extract(text, tag + QStringLiteral("TEXT")),
                                         idle.trimmed().isEmpty() ? settings.idleText : idle});
    }
    return settings;
}

std::optional<RunSettings> load_settings(const QString &path, QTextCodec *localeCodec)
{
    const std::optional<QString> text = read_config_file(path, localeCodec);
    if (!text)
        return std::nullopt;
    return settings_from_text(*text);
}

QString bad_hours_tag(int day)
{
    return QStringLiteral("TIME") + QString::number(day);
}

QStringList bad_hour_items(const RunSettings &settings, int day)
{
    return extract(settings.text, bad_hours_tag(day)).split(QLatin1Char(','), Qt::KeepEmptyParts);
}

bool item_blocks_hour(const QString &item, int hour)
{
    return item == QString::number(hour);
}

bool in_bad_hours(const RunSettings &settings, int day, int hour)
{
    const QStringList items = bad_hour_items(settings, day);
    return std::any_of(items.begin(), items.end(),
                       [hour](const QString &item) { return item_blocks_hour(item, hour); });
}
