// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "encoding.h"
#include "encoding_guess.h"
#include "paths.h"
#include "program_setup.h"
#include "tag_extract.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace {

bool is_encoding_tag(const QString &tag)
{
    return tag.endsWith(QLatin1String("ENC"));
}

bool is_splitter_tag(const QString &tag)
{
    return tag.endsWith(QLatin1String("SPLITTER"));
}

// What an empty value of a path or splitter setting leads to.
Finding empty_value_consequence(const QString &tag)
{
    const struct {
        const char *tag;
        PassOutcome outcome;
    } paths[] = {{"XML", PassOutcome::CantOpenDocument},
                 {"NEWXML", PassOutcome::CantCreateCopy},
                 {"META", PassOutcome::CantCreateMeta},
                 {"RDS", PassOutcome::CantCreateRds}};
    for (const auto &path : paths)
        if (tag == QLatin1String(path.tag))
            return {settingsSection, Level::Error, stops_with(path.outcome)};
    return {settingsSection, Level::Note,
            QStringLiteral("artist and title are written back to back")};
}

} // namespace

void check_settings(Findings &f, const RunSettings &settings)
{
    for (const SettingTag &setting : settingTags) {
        const QString tag = QLatin1String(setting.tag);
        const TagState state = tag_state(settings.text, tag);
        if (state.opens > 0 && !state.closed) {
            const Finding empty = empty_value_consequence(tag);
            f.add(settingsSection, is_encoding_tag(tag) ? Level::Warning : empty.level,
                  tag + QStringLiteral(" is not closed, so its value is empty") +
                      (is_encoding_tag(tag) ? QString() : QStringLiteral(": ") + empty.text));
        } else if (state.value.isEmpty()) {
            // An empty encoding name is reported once, with the encodings.
            if (!is_encoding_tag(tag)) {
                const Finding empty = empty_value_consequence(tag);
                f.add(settingsSection, empty.level,
                      tag +
                          (state.opens ? QStringLiteral(" is empty: ")
                                       : QStringLiteral(" is missing: ")) +
                          empty.text);
            }
        } else {
            // A path as the pass takes it: without the quotes it drops.
            const bool path = !is_encoding_tag(tag) && !is_splitter_tag(tag);
            f.add(settingsSection, Level::Ok,
                  tag + QStringLiteral(" = ") +
                      visible(path && !file_names_may_hold_quotes() ? without_quotes(state.value)
                                                                    : state.value));
        }
        if (state.inCommentOnly)
            f.add(settingsSection, Level::Note,
                  opening_tag(tag) + QStringLiteral(" stands only inside a comment (<!-- ... -->), "
                                                    "which the pass skips"));
        if (state.opens > 1)
            f.add(settingsSection, Level::Warning, repeated_tag(tag, state.opens));
        const QString value = state.value;
        if (!is_encoding_tag(tag) && !is_splitter_tag(tag) && value != value.trimmed())
            f.add(settingsSection, Level::Warning,
                  tag + QStringLiteral(" has blanks or line breaks at its ends, which are part of "
                                       "the value: it names another file"));
        const bool pathTag = !is_encoding_tag(tag) && !is_splitter_tag(tag);
        if (pathTag && without_quotes(value) != value && !file_names_may_hold_quotes())
            f.add(settingsSection, Level::Note,
                  tag + QStringLiteral(" is in double quotes (as Explorer's \"Copy as path\" "
                                       "gives it): the pass drops them"));
        else if (pathTag && without_quotes(value) != value)
            f.add(settingsSection, Level::Warning,
                  tag + QStringLiteral(" is in double quotes, which are part of the name here: "
                                       "remove them"));
        if (is_splitter_tag(tag) && value.contains(QLatin1Char('\n')))
            f.add(settingsSection, Level::Note,
                  tag + QStringLiteral(" holds a line break, which is written as it is"));
    }
    check_further_tags(f, settings);
}

void check_further_tags(Findings &f, const RunSettings &settings)
{
    // The settings beyond the pass's nine, which are read the same way.
    for (const char *name : {"LATIN", "SPELLINGS", "IDLETEXT", "FOLLOW"}) {
        const QString tag = QLatin1String(name);
        const TagState state = tag_state(settings.text, tag);
        if (state.opens > 0 && !state.closed)
            f.add(settingsSection, Level::Warning,
                  tag + QStringLiteral(" is not closed, so it is not used"));
        if (state.opens > 1)
            f.add(settingsSection, Level::Warning, repeated_tag(tag, state.opens));
    }
    // A tag in another case, or with blanks, is not read at all: a station
    // that wrote <latin>uk</latin> believes its RDS text is Ukrainian.
    QStringList names = {QStringLiteral("LATIN"), QStringLiteral("SPELLINGS"),
                         QStringLiteral("IDLETEXT"), QStringLiteral("FOLLOW")};
    for (const SettingTag &setting : settingTags)
        names << QLatin1String(setting.tag);
    QStringList reported;
    for (const QString &name : names) {
        const QRegularExpression near(QStringLiteral("<\\s*%1\\s*>").arg(name),
                                      QRegularExpression::CaseInsensitiveOption);
        for (auto it = near.globalMatch(settings.text); it.hasNext();) {
            const QString written = it.next().captured();
            if (written == opening_tag(name) || reported.contains(written) ||
                index_outside_comments(settings.text, written) < 0)
                continue;
            reported << written;
            f.add(settingsSection, Level::Warning,
                  QStringLiteral("%1 is not read: the tag is %2, in capitals, without blanks")
                      .arg(written, opening_tag(name)));
        }
    }
}

void check_encodings(Findings &f, const RunSettings &settings, const QByteArray &settingsBytes)
{
    const QString locale = locale_encoding_name();
    const QList<QPair<QString, QString>> names = {
        {QStringLiteral("METAENC"), settings.metaEncoding},
        {QStringLiteral("INXMLENC"), settings.documentEncoding},
        {QStringLiteral("OUTXMLENC"), settings.copyEncoding}};
    for (const auto &name : names) {
        QTextCodec *const codec = codec_for_name(name.second);
        if (name.second.isEmpty())
            f.add(encodingsSection, Level::Warning,
                  QStringLiteral("%1 is empty or missing: the locale encoding (%2) is used")
                      .arg(name.first, locale));
        else if (!codec)
            f.add(encodingsSection, Level::Warning,
                  QStringLiteral("%1 %2 is not a known encoding: the locale encoding (%3) is used "
                                 "instead")
                      .arg(name.first, visible(name.second), locale));
        else if (name.second != name.second.trimmed())
            f.add(encodingsSection, Level::Note,
                  QStringLiteral("%1 %2 has blanks or line breaks at its ends, which Qt ignores: "
                                 "it is %3")
                      .arg(name.first, visible(name.second), codec_name(codec)));
        else
            f.add(encodingsSection, Level::Ok,
                  QStringLiteral("%1 %2 is %3")
                      .arg(name.first, visible(name.second), codec_name(codec)));
    }
    f.add(encodingsSection, Level::Note,
          QStringLiteral("the RDS file is written in the locale encoding (%1)").arg(locale));
    const QString notUtf8 =
        config_not_utf8(settingsSection, settingsBytes, QTextCodec::codecForLocale());
    if (!notUtf8.isEmpty())
        f.add(encodingsSection, Level::Warning, notUtf8);
}
