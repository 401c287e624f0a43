// SPDX-License-Identifier: MIT
#include "station_romanization.h"

#include "text_file.h"

#include <QTextCodec>

Romanization station_romanization(const RunSettings &settings, const QString &letters,
                                  const QString &spellingsFile, const QString *onlyFor)
{
    const QString language =
        known_language(settings.latinLanguage) ? settings.latinLanguage : QString();
    std::shared_ptr<const Spellings> spellings;
    if (!settings.spellingsPath.isEmpty()) {
        const std::optional<QString> text =
            read_config_file(spellingsFile, QTextCodec::codecForLocale());
        if (text) {
            const QSet<QString> words = onlyFor ? words_of(*onlyFor) : QSet<QString>();
            spellings = std::make_shared<const Spellings>(
                read_spellings(*text, onlyFor ? &words : nullptr));
        }
    }
    return {letters, language, spellings};
}
