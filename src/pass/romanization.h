// SPDX-License-Identifier: MIT
#pragma once

#include "spellings.h"

#include <QString>

#include <memory>

// How a station writes its text in Latin letters: the national
// romanization LATIN names (absent or "ru": the Russian table and the
// letters file, exactly as transliterate has always written it), and the
// station's own spellings of names.
struct Romanization {
    Romanization(const QString &letters = QString(), const QString &language = QString(),
                 std::shared_ptr<const Spellings> spellings = nullptr)
        : letters(letters), language(language), spellings(std::move(spellings))
    {
    }
    QString letters;  // rusletters.txt (the Russian table's letters)
    QString language; // "ru" or empty, "uk", "bg", "sr"
    std::shared_ptr<const Spellings> spellings;
};

// `text` in Latin letters. Under "ru", transliterate's (the table against
// the letters file, then the built-in forms); under another language its
// table, with a form's capitals as names have them (Щербухи Shcherbukhy,
// ЩЕРБУХИ SHCHERBUKHY), then the built-in forms and the Russian table for
// letters the language does not have, and "?" for a Cyrillic letter with
// no Latin form at all.
QString to_latin(const Romanization &romanization, const QString &text);

// An artist's or title's Latin form: the station's spellings where they
// match, to_latin elsewhere.
QString to_latin_name(const Romanization &romanization, const QString &text);

// Whether `code` names a language LATIN may name ("" and "ru" do).
bool known_language(const QString &code);
