// SPDX-License-Identifier: MIT
// The Latin the RDS text is written in: the language LATIN names, letters
// of the document that look like another language's, and the station's
// own spellings.
#include "check_parts.h"

#include "encoding_guess.h"
#include "file_judgement.h"
#include "latin_tables.h"
#include "station_romanization.h"
#include "text_file.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace {

// A hard sign inside a word (Път, Слънце): Bulgarian, or Russian, but
// never Ukrainian.
bool hard_sign_inside_a_word(const QString &text)
{
    // (\w is ASCII only unless told otherwise.)
    static const QRegularExpression inside(QStringLiteral("\\w[ъЪ]\\w"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    return inside.match(text).hasMatch();
}

QString language_name(const QString &code)
{
    const LatinTable *table = latin_table(code);
    return table ? QStringLiteral("%1 (%2)").arg(QLatin1String(table->name),
                                                 QLatin1String(table->system))
                 : QStringLiteral("Russian (the table and the letters file)");
}

} // namespace

void check_latin(Findings &f, const RunSettings &settings, const PassPlan &plan)
{
    const QString code = settings.latinLanguage;
    if (!known_language(code)) {
        f.add(previewSection, Level::Error,
              QStringLiteral("LATIN %1 is no language this program writes (%2): the Russian "
                             "table is used")
                  .arg(visible(code), latin_codes().join(QStringLiteral(", "))));
        return;
    }
    const QString names = plan.onAir.artist + QLatin1Char(' ') + plan.onAir.title;
    if (plan.stop == PassOutcome::Written)
        f.add(previewSection, Level::Ok,
              QStringLiteral("the RDS text is written in %1: the title %2 is %3")
                  .arg(language_name(code), visible(plan.onAir.title),
                       visible(plan.onAir.latinTitle)));
    const ForeignLetters foreign = foreign_letters(names, code);
    if (!foreign.languages.isEmpty()) {
        QStringList settings;
        for (const QString &other : foreign.codes)
            settings << QStringLiteral("<LATIN>%1</LATIN>").arg(other);
        f.add(previewSection, Level::Warning,
              QStringLiteral("the artist and title hold %1, letters of %2: with %3 they are "
                             "written as that language's official romanization has them (under "
                             "uk, Київ is Kyiv)")
                  .arg(listed(foreign.letters), foreign.languages.join(QStringLiteral(" or ")),
                       settings.join(QStringLiteral(" or "))));
    }
    const LatinTable *table = latin_table(code);
    if (table && !writes_letter(*table, QChar(u'ъ')) && hard_sign_inside_a_word(names))
        f.add(previewSection, Level::Warning,
              QStringLiteral("the artist or title has ъ inside a word, which %1 never has: "
                             "is it Russian (no LATIN) or Bulgarian (<LATIN>bg</LATIN>)?")
                  .arg(QLatin1String(table->name)));
}

void check_spellings(Findings &f, const RunSettings &settings, const PassPlan &plan)
{
    if (settings.spellingsPath.isEmpty())
        return;
    const QString name = QStringLiteral("SPELLINGS ") + visible(settings.spellingsPath);
    const std::optional<QString> text =
        read_config_file(settings.spellingsPath, QTextCodec::codecForLocale());
    if (!text) {
        f.add(previewSection, Level::Error,
              name + QStringLiteral(" cannot be read: the RDS text is written without the "
                                    "station's own spellings"));
        return;
    }
    const QString notUtf8 = config_not_utf8(name, raw_input_bytes(settings.spellingsPath),
                                            QTextCodec::codecForLocale());
    if (!notUtf8.isEmpty())
        f.add(previewSection, Level::Warning, notUtf8);
    const Spellings spellings = read_spellings(*text);
    f.add(previewSection, Level::Ok,
          QStringLiteral("%1: %2 spellings").arg(name, QString::number(spellings.entries.size())));
    for (const QString &problem : spellings.problems)
        f.add(previewSection, Level::Warning,
              QStringLiteral("%1 %2, so it is left out").arg(name, problem));
    if (plan.stop != PassOutcome::Written)
        return;
    QStringList applied;
    for (const QString &value : {plan.onAir.artist, plan.onAir.title})
        for (const SpelledPart &part : spelled_parts(value, spellings))
            applied << QStringLiteral("%1 as %2 (line %3)")
                           .arg(visible(value.mid(part.start, part.length)), visible(part.latin),
                                QString::number(part.line));
    if (!applied.isEmpty())
        f.add(previewSection, Level::Ok,
              QStringLiteral("the station's spellings used now: ") + listed(applied));
}
