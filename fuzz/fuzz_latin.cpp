// SPDX-License-Identifier: MIT
// The national romanizations and a station's spellings file, against any
// text: what goes on air in Latin holds no Cyrillic letter and no control
// character, the Russian table is untouched by the rest, and a pass reading
// the spellings file's bytes keeps what a full read keeps.
#include "fuzz_input.h"
#include "on_air_text.h"
#include "romanization.h"
#include "spellings_file.h"
#include "text_file.h"
#include "transliteration.h"

#include <QTextCodec>

#include <cstdlib>

namespace {

void check(bool property)
{
    if (!property)
        std::abort();
}

bool holds_cyrillic_or_control(const QString &text)
{
    for (const QChar c : text)
        if (is_control(c) || (c.isLetter() && c.script() == QChar::Script_Cyrillic))
            return true;
    return false;
}

QStringList entries_of(const Spellings &spellings)
{
    QStringList lines;
    for (const Spelling &s : spellings.entries)
        lines << s.written + QLatin1Char('\t') + s.latin + QLatin1Char('\t') +
                     QString::number(s.line);
    return lines;
}

} // namespace

// Parts: the spellings file's bytes (its first byte picks the locale's
// charset), the letters file, the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = split_parts(data, size, 3);
    static QTextCodec *const locales[] = {
        QTextCodec::codecForMib(106), QTextCodec::codecForName("windows-1251"),
        QTextCodec::codecForName("KOI8-U"), QTextCodec::codecForName("Shift_JIS")};
    QTextCodec *const locale = locales[parts[0].isEmpty() ? 0 : uchar(parts[0][0]) % 4];
    const QByteArray file = parts[0].mid(1);
    const QString letters = to_text(parts[1]);
    const QString text = on_air_value(to_text(parts[2]));

    const Spellings fast = read_spellings_file(file, locale, &text);
    check(entries_of(fast) == entries_of(read_spellings(config_text(file, locale), &text)));
    const auto spellings = std::make_shared<const Spellings>(fast);

    for (const char *language : {"uk", "bg", "sr"}) {
        check(!holds_cyrillic_or_control(to_latin(Romanization(letters, language), text)));
        check(!holds_cyrillic_or_control(
            to_latin_name(Romanization(usual_russian_letters(), language, spellings), text)));
    }
    for (const char *language : {"", "ru"})
        check(to_latin(Romanization(letters, language), text) == transliterate(text, letters));
    return 0;
}
