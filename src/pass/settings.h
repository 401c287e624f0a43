// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class QTextCodec;

// Where nowplaying-watch sends the text of each pass, as settings.txt
// names it: "SEND1" to "SEND9", each once, in order, with the value between
// its tags without white space at its ends. A missing or empty tag is none.
// Beside it, "SEND1TEXT" the template of the text it gets (empty: the usual
// artist, splitter and title) and "SEND1IDLE" the text it gets when that
// comes out empty (empty: IDLETEXT, the same for all), both as written.
struct SendSetting {
    QString tag; // "SEND1" .. "SEND9"
    QString url;
    QString textTemplate;
    QString idleTemplate;
};
constexpr int maxDestinations = 9;

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
    std::vector<SendSetting> destinations;
    QString idleText; // IDLETEXT: what every destination gets when its text comes out empty
    // FOLLOW: a site that takes the now-playing from its studio's MQTT topic
    // (mqtt://HOST/TOPIC) instead of making passes; empty for a studio.
    QString follow;
    // LATIN: the national romanization of the RDS text ("uk", "bg", ...;
    // empty or "ru": the Russian table and the letters file).
    QString latinLanguage;
    // SPELLINGS: the file of the station's own spellings; empty for none.
    QString spellingsPath;
};

// The nine tags, in the order they are read, with the field each one fills.
struct SettingTag {
    const char *tag;
    QString RunSettings::*field;
};
extern const std::array<SettingTag, 9> settingTags;

// `path` without one pair of double quotes around it, as Explorer's "Copy
// as path" gives it; unchanged when it is not in quotes.
QString without_quotes(const QString &path);

// The settings in `text`. Where no file name holds a double quote
// (Windows), one pair of them around a path is dropped (without_quotes).
RunSettings settings_from_text(const QString &text);

// Reads the settings file as read_config_file does (`localeCodec` for bytes
// that are neither marked nor UTF-8). Nothing when it cannot be read.
std::optional<RunSettings> load_settings(const QString &path, QTextCodec *localeCodec);

// The tag that lists the bad hours of weekday `day` (1 Monday .. 7 Sunday):
// "TIME1" .. "TIME7".
QString bad_hours_tag(int day);

// The items of weekday `day`'s bad hours: its tag's value split at every
// comma, empty items kept and nothing trimmed.
QStringList bad_hour_items(const RunSettings &settings, int day);

// Whether an item blocks `hour` (0-23): it is the hour written in decimal,
// exactly, so "01" or " 2" never match.
bool item_blocks_hour(const QString &item, int hour);

// Whether `hour` is blocked by one of weekday `day`'s items.
bool in_bad_hours(const RunSettings &settings, int day, int hour);
