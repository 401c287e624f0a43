// SPDX-License-Identifier: MIT
#include "transliteration.h"

namespace {

const char *const latinTable[letterCount] = {
    "a", "b", "v", "g", "d", "e", "zh", "z",  "i",  "y",  "k", "l", "m", "n", "o",  "p",
    "r", "s", "t", "u", "f", "h", "ts", "ch", "sh", "sh", "",  "i", "'", "e", "yu", "ya",
    "A", "B", "V", "G", "D", "E", "ZH", "Z",  "I",  "Y",  "K", "L", "M", "N", "O",  "P",
    "R", "S", "T", "U", "F", "H", "TS", "CH", "SH", "SH", "",  "I", "'", "E", "YU", "YA",
};

// RadioText receivers show a Latin character set: the other Cyrillic letters
// of windows-1251 and the typographic marks playout titles carry get Latin
// forms in the style of the table, capitals as capitals.
const struct {
    char16_t character;
    const char *latin;
} builtInForms[] = {
    {u'ё', "e"},      {u'Ё', "E"},  {u'є', "ye"}, {u'Є', "YE"},   {u'і', "i"},   {u'І', "I"},
    {u'ї', "yi"},     {u'Ї', "YI"}, {u'ґ', "g"},  {u'Ґ', "G"},    {u'ў', "u"},   {u'Ў', "U"},
    {u'ђ', "dj"},     {u'Ђ', "DJ"}, {u'ј', "j"},  {u'Ј', "J"},    {u'љ', "lj"},  {u'Љ', "LJ"},
    {u'њ', "nj"},     {u'Њ', "NJ"}, {u'ћ', "c"},  {u'Ћ', "C"},    {u'џ', "dz"},  {u'Џ', "DZ"},
    {u'ѓ', "g"},      {u'Ѓ', "G"},  {u'ќ', "k"},  {u'Ќ', "K"},    {u'ѕ', "dz"},  {u'Ѕ', "DZ"},
    {u'«', "\""},     {u'»', "\""}, {u'„', "\""}, {u'“', "\""},   {u'”', "\""},  {u'‘', "'"},
    {u'’', "'"},      {u'‚', "'"},  {u'–', "-"},  {u'—', "-"},    {u'…', "..."}, {u'№', "No"},
    {u'\u00A0', " "}, {u'•', "*"},  {u'·', "."},  {u'™', "(TM)"}, {u'©', "(C)"}, {u'®', "(R)"},
    {u'€', "EUR"},
};

const char *built_in_form(QChar c)
{
    for (const auto &form : builtInForms)
        if (c.unicode() == form.character)
            return form.latin;
    return nullptr;
}

} // namespace

QString usual_russian_letters()
{
    return QStringLiteral("абвгдежзийклмнопрстуфхцчшщъыьэюя"
                          "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
}

namespace {

// A form of two or more capitals for a capital letter: before a lower-case
// letter it is written as a name is (Zhanna, Yuriy), elsewhere in capitals
// (ZHANNA, ZH.). Signs keep their forms (EUR for the euro sign).
QString form_of(QChar letter, const char *form, QChar next)
{
    QString latin = QLatin1String(form);
    const bool capitals = letter.isUpper() && latin.size() >= 2 && latin == latin.toUpper();
    if (capitals && next.isLower())
        return latin.at(0) + latin.mid(1).toLower();
    return latin;
}

} // namespace

bool russian_form(QChar c, QChar next, const QString &letters, QString &form)
{
    form.clear();
    const int known = qMin(letters.size(), letterCount);
    bool matched = false;
    for (int k = 0; k < known; ++k) {
        if (c == letters.at(k)) {
            form += form_of(c, latinTable[k], next);
            matched = true;
        }
    }
    if (matched)
        return true;
    if (const char *builtIn = built_in_form(c)) {
        form = form_of(c, builtIn, next);
        return true;
    }
    return false;
}

QString transliterate(const QString &text, const QString &letters)
{
    // A letters file shorter than the table leaves the tail positions with no
    // letter at all: they match nothing, not even a NUL in the text.
    const int known = qMin(letters.size(), letterCount);
    QString latin;
    latin.reserve(text.size() * 2);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        bool matched = false;
        for (int k = 0; k < known; ++k) {
            if (c == letters.at(k)) {
                latin += form_of(c, latinTable[k], next);
                matched = true;
            }
        }
        if (matched)
            continue;
        if (const char *form = built_in_form(c))
            latin += form_of(c, form, next);
        else
            latin += c;
    }
    return latin;
}
