// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <array>
#include <optional>

class QTextCodec;

// Everything "settings.txt" configures. An absent tag is an empty value:
// there are no built-in defaults.
struct RunSettings {
    QString text; // the whole file, kept for the per-weekday hours
    QString documentPath;
    QString rdsPath;
    QString copyPath;
    QString metaPath;
    QString rdsSplitter;
    QString metaSplitter;
    QString metaEncoding;
    QString documentEncoding;
    QString copyEncoding;
};

// The nine tags, in the order they are read, with the field each one fills.
struct SettingTag {
    const char *tag;
    QString RunSettings::*field;
};
extern const std::array<SettingTag, 9> settingTags;

RunSettings settings_from_text(const QString &text);

// Reads the settings file as read_config_file does (`localeCodec` for bytes
// that are neither marked nor UTF-8). Nothing when it cannot be read.
std::optional<RunSettings> load_settings(const QString &path, QTextCodec *localeCodec);

// Whether `hour` (0-23) is listed in the bad hours of weekday `day`
// (1 Monday .. 7 Sunday): the comma-separated value of the tag TIME<day>.
// Items are compared as written, so "01" or " 2" never match.
bool in_bad_hours(const RunSettings &settings, int day, int hour);
