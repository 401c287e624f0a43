// SPDX-License-Identifier: MIT
// Transliteration of arbitrary text against arbitrary letters texts
// (shorter, longer, with duplicates).
#include "fuzz_input.h"
#include "transliteration.h"

#include <QSet>

#include <cstdlib>

namespace {
const QString standardLetters = usual_russian_letters();

void check(bool property)
{
    if (!property)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = split_parts(data, size, 2);
    const QString letters = to_text(parts[0]);
    const QString text = to_text(parts[1]);
    const QString table = letters.left(letterCount);

    // No table letter in the text: the text comes back unchanged.
    QString untouched = text;
    for (const QChar c : table)
        untouched.remove(c);
    check(transliterate(untouched, letters) == untouched);

    // Each character gives at most two Latin letters per table position that
    // holds it, so the result is bounded.
    const QString latin = transliterate(text, letters);
    check(latin.size() <= 2 * letterCount * text.size());
    if (QSet<QChar>(table.begin(), table.end()).size() == table.size())
        check(latin.size() <= 2 * text.size());

    // Against the standard letters, whatever was Cyrillic ends up ASCII.
    const QString standard = transliterate(text, standardLetters);
    for (const QChar c : standard)
        check(c.unicode() < 0x80 || !standardLetters.contains(c));
    return 0;
}
