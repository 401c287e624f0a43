// SPDX-License-Identifier: MIT
// The checker's one entry point: reads what the pass reads and hands each
// subject to its part, in the order of the report.
#include "check_configuration.h"

#include "check_parts.h"
#include "file_judgement.h"
#include "now_playing_message.h"
#include "pass.h"
#include "romanization.h"
#include "settings.h"
#include "text_file.h"

#include <QDateTime>
#include <QDir>
#include <QTextCodec>

namespace {

QString unreadable(const QString &path)
{
    return QStringLiteral("%1 (looked for in %2): ")
        .arg(input_problem(path), QDir::toNativeSeparators(QDir::currentPath()));
}

// Whether the letters file names the letters: under LATIN ru, none, or a
// language this program does not write; another language's own table
// names them.
bool letters_decide(const RunSettings &settings)
{
    const QString &code = settings.latinLanguage;
    return code.isEmpty() || code == QLatin1String("ru") || !known_language(code);
}

// A site: no document, no outputs, no passes; but the Latin its
// destinations get is its own, from its letters, language and spellings,
// checked as a studio's are.
void check_site(Findings &f, const RunSettings &settings, const std::optional<QString> &letters,
                bool sendTest)
{
    const QString lettersFile = QLatin1String(lettersFileName);
    check_further_tags(f, settings);
    check_follow(f, settings);
    check_destination_tags(f, settings);
    const bool lettersUsed = letters_decide(settings);
    if (lettersUsed && letters)
        check_letters(f, *letters, raw_input_bytes(lettersFile));
    else if (lettersUsed)
        f.add(lettersSection, Level::Note,
              unreadable(lettersFile) + QStringLiteral("this site writes with the usual letters"));
    PassPlan noDocument; // a site's text comes from its studio
    noDocument.stop = PassOutcome::CantOpenDocument;
    check_latin(f, settings, noDocument);
    check_spellings(f, settings, noDocument);
    if (sendTest)
        site_send_test(f, settings, site_romanization(settings));
}

} // namespace

CheckReport check_configuration(const QDateTime &now, bool sendTest, bool withPreview)
{
    Findings f;
    const QString settingsFile = QLatin1String(settingsFileName);
    const QString lettersFile = QLatin1String(lettersFileName);
    QTextCodec *const localeCodec = QTextCodec::codecForLocale();
    const std::optional<RunSettings> settings = load_settings(settingsFile, localeCodec);
    const std::optional<QString> letters = read_config_file(lettersFile, localeCodec);
    if (settings && !settings->follow.isEmpty()) {
        check_site(f, *settings, letters, sendTest);
        return {f.list, {}};
    }
    if (settings) {
        check_settings(f, *settings);
        check_encodings(f, *settings, raw_input_bytes(settingsFile));
        check_bad_hours(f, *settings, now);
    } else {
        f.add(settingsSection, Level::Error,
              unreadable(settingsFile) + stops_with(PassOutcome::CantReadSettings));
    }
    if (letters && settings && !letters_decide(*settings))
        f.add(lettersSection, Level::Note,
              QStringLiteral("LATIN is %1: this file must still be there, but plays no part; the "
                             "language's own table names its letters")
                  .arg(visible(settings->latinLanguage)));
    else if (letters)
        check_letters(f, *letters, raw_input_bytes(lettersFile));
    else
        f.add(lettersSection, Level::Error,
              unreadable(lettersFile) + stops_with(PassOutcome::CantReadLetters));
    if (!settings)
        return {f.list, {}};

    check_document(f, *settings, settings->documentPath);
    check_watching(f, settings->documentPath);
    // One plan for the findings and the preview: a document of many
    // megabytes is read and held once.
    PassPlan plan = plan_pass_ignoring_hours();
    if (plan.stop == PassOutcome::Written) {
        check_outputs(f, plan);
        check_preview(f, plan);
        check_latin(f, *settings, plan);
        check_spellings(f, *settings, plan);
        check_sending(f, plan);
        check_destination_tags(f, *settings);
        if (sendTest)
            send_test(f, plan);
        const bool blocked = in_bad_hours(*settings, now.date().dayOfWeek(), now.time().hour());
        return {f.list, blocked || !withPreview ? Preview() : preview_of(plan)};
    } else {
        // The pass would stop before writing; the paths can still be checked.
        plan.outputs = {{Output::Copy, settings->copyPath, nullptr, {}, {}, false},
                        {Output::Meta, settings->metaPath, nullptr, {}, {}, false},
                        {Output::Rds, settings->rdsPath, nullptr, {}, {}, false}};
        check_outputs(f, plan);
        check_sending(f, plan);
        check_destination_tags(f, *settings);
    }
    return {f.list, {}};
}
