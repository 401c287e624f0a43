// SPDX-License-Identifier: MIT
#include "station_romanization.h"

#include "input_file.h"
#include "spellings_file.h"
#include "text_file.h"

#include <QTextCodec>

Romanization station_romanization(const RunSettings &settings, const QString &letters,
                                  const QString &spellingsFile, const QString *onlyFor)
{
    const QString language =
        known_language(settings.latinLanguage) ? settings.latinLanguage : QString();
    std::shared_ptr<const Spellings> spellings;
    if (!settings.spellingsPath.isEmpty()) {
        const std::optional<QByteArray> bytes = read_file_bytes(spellingsFile);
        if (bytes)
            spellings = std::make_shared<const Spellings>(
                read_spellings_file(*bytes, QTextCodec::codecForLocale(), onlyFor));
    }
    return {letters, language, spellings};
}
