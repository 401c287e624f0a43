// SPDX-License-Identifier: MIT
#include "latin_tables.h"

#include <iterator>

namespace {

// Ukrainian: the Cabinet of Ministers of Ukraine's resolution No. 55 of
// 27 January 2010. Є, ї, й, ю, я have their own form at the start of a
// word; the soft sign and the apostrophe are dropped; зг is zgh.
const LatinRow ukrainian[] = {
    {u"зг", "zgh", WordPlace::Anywhere},   {u"а", "a", WordPlace::Anywhere},
    {u"б", "b", WordPlace::Anywhere},      {u"в", "v", WordPlace::Anywhere},
    {u"г", "h", WordPlace::Anywhere},      {u"ґ", "g", WordPlace::Anywhere},
    {u"д", "d", WordPlace::Anywhere},      {u"е", "e", WordPlace::Anywhere},
    {u"є", "ye", WordPlace::WordStart},    {u"є", "ie", WordPlace::NotWordStart},
    {u"ж", "zh", WordPlace::Anywhere},     {u"з", "z", WordPlace::Anywhere},
    {u"и", "y", WordPlace::Anywhere},      {u"і", "i", WordPlace::Anywhere},
    {u"ї", "yi", WordPlace::WordStart},    {u"ї", "i", WordPlace::NotWordStart},
    {u"й", "y", WordPlace::WordStart},     {u"й", "i", WordPlace::NotWordStart},
    {u"к", "k", WordPlace::Anywhere},      {u"л", "l", WordPlace::Anywhere},
    {u"м", "m", WordPlace::Anywhere},      {u"н", "n", WordPlace::Anywhere},
    {u"о", "o", WordPlace::Anywhere},      {u"п", "p", WordPlace::Anywhere},
    {u"р", "r", WordPlace::Anywhere},      {u"с", "s", WordPlace::Anywhere},
    {u"т", "t", WordPlace::Anywhere},      {u"у", "u", WordPlace::Anywhere},
    {u"ф", "f", WordPlace::Anywhere},      {u"х", "kh", WordPlace::Anywhere},
    {u"ц", "ts", WordPlace::Anywhere},     {u"ч", "ch", WordPlace::Anywhere},
    {u"ш", "sh", WordPlace::Anywhere},     {u"щ", "shch", WordPlace::Anywhere},
    {u"ь", "", WordPlace::Anywhere},       {u"ю", "yu", WordPlace::WordStart},
    {u"ю", "iu", WordPlace::NotWordStart}, {u"я", "ya", WordPlace::WordStart},
    {u"я", "ia", WordPlace::NotWordStart}, {u"'", "", WordPlace::BetweenLetters},
    {u"’", "", WordPlace::BetweenLetters}, {u"ʼ", "", WordPlace::BetweenLetters},
};

// Bulgarian: the Transliteration Act (State Gazette No. 19 of 13 March
// 2009). Ъ is a, ь is y, щ is sht; ия at the end of a word is ia; the
// country's name is the Act's own exception.
const LatinRow bulgarian[] = {
    {u"българия", "bulgaria", WordPlace::WholeWord},
    {u"ия", "ia", WordPlace::WordEnd},
    {u"а", "a", WordPlace::Anywhere},
    {u"б", "b", WordPlace::Anywhere},
    {u"в", "v", WordPlace::Anywhere},
    {u"г", "g", WordPlace::Anywhere},
    {u"д", "d", WordPlace::Anywhere},
    {u"е", "e", WordPlace::Anywhere},
    {u"ж", "zh", WordPlace::Anywhere},
    {u"з", "z", WordPlace::Anywhere},
    {u"и", "i", WordPlace::Anywhere},
    {u"ѝ", "i", WordPlace::Anywhere},
    {u"й", "y", WordPlace::Anywhere},
    {u"к", "k", WordPlace::Anywhere},
    {u"л", "l", WordPlace::Anywhere},
    {u"м", "m", WordPlace::Anywhere},
    {u"н", "n", WordPlace::Anywhere},
    {u"о", "o", WordPlace::Anywhere},
    {u"п", "p", WordPlace::Anywhere},
    {u"р", "r", WordPlace::Anywhere},
    {u"с", "s", WordPlace::Anywhere},
    {u"т", "t", WordPlace::Anywhere},
    {u"у", "u", WordPlace::Anywhere},
    {u"ф", "f", WordPlace::Anywhere},
    {u"х", "h", WordPlace::Anywhere},
    {u"ц", "ts", WordPlace::Anywhere},
    {u"ч", "ch", WordPlace::Anywhere},
    {u"ш", "sh", WordPlace::Anywhere},
    {u"щ", "sht", WordPlace::Anywhere},
    {u"ъ", "a", WordPlace::Anywhere},
    {u"ь", "y", WordPlace::Anywhere},
    {u"ю", "yu", WordPlace::Anywhere},
    {u"я", "ya", WordPlace::Anywhere},
};

// Serbian: the Serbian Latin alphabet (gajica), the official second
// script of the Constitution of Serbia, letter for letter.
const LatinRow serbian[] = {
    {u"а", "a", WordPlace::Anywhere},  {u"б", "b", WordPlace::Anywhere},
    {u"в", "v", WordPlace::Anywhere},  {u"г", "g", WordPlace::Anywhere},
    {u"д", "d", WordPlace::Anywhere},  {u"ђ", "đ", WordPlace::Anywhere},
    {u"е", "e", WordPlace::Anywhere},  {u"ж", "ž", WordPlace::Anywhere},
    {u"з", "z", WordPlace::Anywhere},  {u"и", "i", WordPlace::Anywhere},
    {u"ј", "j", WordPlace::Anywhere},  {u"к", "k", WordPlace::Anywhere},
    {u"л", "l", WordPlace::Anywhere},  {u"љ", "lj", WordPlace::Anywhere},
    {u"м", "m", WordPlace::Anywhere},  {u"н", "n", WordPlace::Anywhere},
    {u"њ", "nj", WordPlace::Anywhere}, {u"о", "o", WordPlace::Anywhere},
    {u"п", "p", WordPlace::Anywhere},  {u"р", "r", WordPlace::Anywhere},
    {u"с", "s", WordPlace::Anywhere},  {u"т", "t", WordPlace::Anywhere},
    {u"ћ", "ć", WordPlace::Anywhere},  {u"у", "u", WordPlace::Anywhere},
    {u"ф", "f", WordPlace::Anywhere},  {u"х", "h", WordPlace::Anywhere},
    {u"ц", "c", WordPlace::Anywhere},  {u"ч", "č", WordPlace::Anywhere},
    {u"џ", "dž", WordPlace::Anywhere}, {u"ш", "š", WordPlace::Anywhere},
};

// Macedonian: the Government's romanization of 2008 (its passports' and
// road signs'), without marks: ѓ gj, ж zh, ѕ dz, ќ kj, ч ch, џ dj, ш sh.
const LatinRow macedonian[] = {
    {u"а", "a", WordPlace::Anywhere},  {u"б", "b", WordPlace::Anywhere},
    {u"в", "v", WordPlace::Anywhere},  {u"г", "g", WordPlace::Anywhere},
    {u"д", "d", WordPlace::Anywhere},  {u"ѓ", "gj", WordPlace::Anywhere},
    {u"е", "e", WordPlace::Anywhere},  {u"ж", "zh", WordPlace::Anywhere},
    {u"з", "z", WordPlace::Anywhere},  {u"ѕ", "dz", WordPlace::Anywhere},
    {u"и", "i", WordPlace::Anywhere},  {u"ј", "j", WordPlace::Anywhere},
    {u"к", "k", WordPlace::Anywhere},  {u"л", "l", WordPlace::Anywhere},
    {u"љ", "lj", WordPlace::Anywhere}, {u"м", "m", WordPlace::Anywhere},
    {u"н", "n", WordPlace::Anywhere},  {u"њ", "nj", WordPlace::Anywhere},
    {u"о", "o", WordPlace::Anywhere},  {u"п", "p", WordPlace::Anywhere},
    {u"р", "r", WordPlace::Anywhere},  {u"с", "s", WordPlace::Anywhere},
    {u"т", "t", WordPlace::Anywhere},  {u"ќ", "kj", WordPlace::Anywhere},
    {u"у", "u", WordPlace::Anywhere},  {u"ф", "f", WordPlace::Anywhere},
    {u"х", "h", WordPlace::Anywhere},  {u"ц", "c", WordPlace::Anywhere},
    {u"ч", "ch", WordPlace::Anywhere}, {u"џ", "dj", WordPlace::Anywhere},
    {u"ш", "sh", WordPlace::Anywhere},
};

const LatinTable tables[] = {
    {"uk", "Ukrainian", "Ukraine's official romanization of 2010", u"іїєґ", ukrainian,
     int(std::size(ukrainian))},
    {"bg", "Bulgarian", "Bulgaria's Transliteration Act of 2009", u"", bulgarian,
     int(std::size(bulgarian))},
    {"sr", "Serbian", "the Serbian Latin alphabet", u"ђћјљњџ", serbian, int(std::size(serbian))},
    {"mk", "Macedonian", "North Macedonia's official romanization of 2008", u"ѓѕќјљњџ", macedonian,
     int(std::size(macedonian))},
};

} // namespace

const LatinTable *latin_table(const QString &code)
{
    for (const LatinTable &table : tables)
        if (code == QLatin1String(table.code))
            return &table;
    return nullptr;
}

bool writes_letter(const LatinTable &table, QChar letter)
{
    for (int r = 0; r < table.rowCount; ++r)
        if (QString::fromUtf16(table.rows[r].cyrillic) == QString(letter))
            return true;
    return false;
}

ForeignLetters foreign_letters(const QString &text, const QString &code)
{
    const LatinTable *own = latin_table(code);
    const QString ownLetters = own ? QString::fromUtf16(own->ownLetters) : QString();
    ForeignLetters found;
    for (const LatinTable &table : tables) {
        if (&table == own)
            continue;
        const QString letters = QString::fromUtf16(table.ownLetters);
        bool theirs = false;
        for (const QChar c : text) {
            const QChar lower = c.toLower();
            if (!letters.contains(lower) || ownLetters.contains(lower))
                continue;
            theirs = true;
            if (!found.letters.contains(c))
                found.letters << c;
        }
        if (theirs) {
            found.languages << QLatin1String(table.name);
            found.codes << QLatin1String(table.code);
        }
    }
    return found;
}

QStringList latin_codes()
{
    QStringList codes{QStringLiteral("ru")};
    for (const LatinTable &table : tables)
        codes << QLatin1String(table.code);
    return codes;
}
