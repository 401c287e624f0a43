// SPDX-License-Identifier: MIT
#include "romanization.h"

#include "latin_tables.h"
#include "transliteration.h"

namespace {

bool is_apostrophe(QChar c)
{
    return c == QLatin1Char('\'') || c == QChar(0x2019) || c == QChar(0x02BC);
}

// Whether the letter at `at` begins a word: nothing but a letter before it,
// an apostrophe inside a word not counting as a break.
bool word_starts(const QString &text, int at)
{
    if (at == 0)
        return true;
    const QChar before = text.at(at - 1);
    if (is_apostrophe(before))
        return at < 2 || !text.at(at - 2).isLetter();
    return !before.isLetter();
}

bool place_holds(WordPlace place, const QString &text, int at, int length)
{
    switch (place) {
    case WordPlace::Anywhere:
        return true;
    case WordPlace::WordStart:
        return word_starts(text, at);
    case WordPlace::NotWordStart:
        return !word_starts(text, at);
    case WordPlace::WordEnd:
        return at + length >= text.size() || !text.at(at + length).isLetter();
    case WordPlace::WholeWord:
        return word_starts(text, at) &&
               (at + length >= text.size() || !text.at(at + length).isLetter());
    case WordPlace::BetweenLetters: {
        // Cyrillic ones: the apostrophe of "O'Connor" or "Rock'n'Roll" in
        // a Ukrainian station's title is not Ukrainian spelling, and stays.
        const auto cyrillic = [](QChar c) {
            return c.isLetter() && c.script() == QChar::Script_Cyrillic;
        };
        return at > 0 && at + length < text.size() && cyrillic(text.at(at - 1)) &&
               cyrillic(text.at(at + length));
    }
    }
    return false;
}

// A lower-case form as the matched text's case asks: capitals for a
// capital, as names are written (Zh before a small letter, ZH elsewhere).
QString cased(const QString &form, QChar first, QChar next)
{
    if (!first.isUpper())
        return form;
    if (form.size() >= 2 && next.isLower())
        return form.left(1).toUpper() + form.mid(1);
    return form.toUpper();
}

// Whether the nearest word before or after `at` of two letters or more
// (past at most two more of one capital) is written in capitals: what a
// word of one capital letter is written like, "Я ЛЮБЛЮ" YA LYUBLYU but
// "Я люблю" Ya liubliu.
bool beside_capitals(const QString &text, int at)
{
    const auto in_capitals = [&text](int from, int step) {
        for (int word = 0; word < 3; ++word) {
            while (from >= 0 && from < text.size() && !text.at(from).isLetter())
                from += step;
            int letters = 0;
            for (; from >= 0 && from < text.size() && text.at(from).isLetter(); from += step) {
                if (text.at(from).isLower())
                    return false;
                ++letters;
            }
            if (letters != 1)
                return letters >= 2;
        }
        return false;
    };
    return in_capitals(at - 1, -1) || in_capitals(at + 1, 1);
}

// The letter whose case tells a name from capitals for the capital at `at`:
// the one after it in its word, else the one before; a word of one letter
// is a name's initial unless it stands beside capitals.
QChar case_guide(const QString &text, int at)
{
    if (at + 1 < text.size() && text.at(at + 1).isLetter())
        return text.at(at + 1);
    if (at > 0 && text.at(at - 1).isLetter())
        return text.at(at - 1);
    return beside_capitals(text, at) ? QChar() : QLatin1Char('a');
}

QString by_table(const LatinTable &table, const QString &text, const QString &letters)
{
    QString latin;
    latin.reserve(text.size() * 2);
    for (int at = 0; at < text.size();) {
        const QChar c = text.at(at);
        // The longest row that matches here (rows of sequences stand first).
        const LatinRow *row = nullptr;
        int length = 0;
        for (int r = 0; r < table.rowCount; ++r) {
            const QStringView cyrillic(table.rows[r].cyrillic);
            if (cyrillic.size() <= length || at + cyrillic.size() > text.size() ||
                QStringView(text).mid(at, cyrillic.size()).compare(cyrillic, Qt::CaseInsensitive) !=
                    0 ||
                !place_holds(table.rows[r].place, text, at, int(cyrillic.size())))
                continue;
            row = &table.rows[r];
            length = int(cyrillic.size());
        }
        const QChar guide = c.isUpper() ? case_guide(text, at) : QChar();
        QString form;
        if (row) {
            latin += cased(QString::fromUtf8(row->latin), c, guide);
            at += length;
            continue;
        }
        if (russian_form(c, guide, letters, form))
            latin += form;
        else if (c.isLetter() && c.script() == QChar::Script_Cyrillic)
            latin += QLatin1Char('?');
        else
            latin += c;
        ++at;
    }
    return latin;
}

} // namespace

bool known_language(const QString &code)
{
    return code.isEmpty() || code == QLatin1String("ru") || latin_table(code);
}

QString to_latin(const Romanization &romanization, const QString &text)
{
    const LatinTable *table = latin_table(romanization.language);
    if (!table)
        return transliterate(text, romanization.letters);
    // Letters a language does not have are the Russian table's usual ones.
    return by_table(*table, text, usual_russian_letters());
}

QString to_latin_name(const Romanization &romanization, const QString &text)
{
    if (!romanization.spellings || romanization.spellings->entries.empty())
        return to_latin(romanization, text);
    QString latin;
    int at = 0;
    for (const SpelledPart &part : spelled_parts(text, *romanization.spellings)) {
        latin += to_latin(romanization, text.mid(at, part.start - at)) + part.latin;
        at = part.start + part.length;
    }
    return latin + to_latin(romanization, text.mid(at));
}
