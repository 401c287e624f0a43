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

    // Characters that are neither table letters nor have a built-in form
    // pass through unchanged.
    QString untouched;
    for (const QChar c : text)
        if (!table.contains(c) && transliterate(QString(c), QString()) == QString(c))
            untouched += c;
    check(transliterate(untouched, letters) == untouched);

    // Each character gives at most two Latin letters per table position that
    // holds it, or a built-in form of at most four, so the result is bounded.
    const QString latin = transliterate(text, letters);
    check(latin.size() <= 2 * letterCount * text.size());
    if (QSet<QChar>(table.begin(), table.end()).size() == table.size())
        check(latin.size() <= 4 * text.size());

    // Against the standard letters, whatever was a table letter ends up ASCII.
    const QString standard = transliterate(text, standardLetters);
    for (const QChar c : standard)
        check(c.unicode() < 0x80 || !standardLetters.contains(c));
    return 0;
}
