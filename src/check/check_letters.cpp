// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "encoding.h"
#include "transliteration.h"

#include <QSet>
#include <QTextCodec>

namespace {

int usual_positions(const QString &letters)
{
    const QString usual = usual_russian_letters();
    int count = 0;
    for (int k = 0; k < letterCount && k < letters.size(); ++k)
        count += letters.at(k) == usual.at(k);
    return count;
}

// A letters file saved in another encoding than it is read in makes every
// position wrong at once: that is one fact, with one remedy.
bool check_letters_encoding(Findings &f, const QString &letters, const QByteArray &bytes)
{
    if (usual_positions(letters) >= letterCount / 2)
        return false;
    QTextCodec *const readIn = config_file_codec(bytes, QTextCodec::codecForLocale());
    for (const char *name : {"UTF-8", "windows-1251", "KOI8-R", "IBM866", "ISO-8859-5", "UTF-16LE",
                             "UTF-16BE", "macintosh-cyrillic"}) {
        QTextCodec *const codec = QTextCodec::codecForName(name);
        if (!codec || codec == readIn)
            continue;
        QTextCodec::ConverterState state;
        if (usual_positions(codec->toUnicode(bytes.constData(), bytes.size(), &state)) >=
            letterCount - 4) {
            f.add(lettersSection, Level::Warning,
                  QStringLiteral("is saved in %1 but read as %2, so no letter is where it belongs: "
                                 "save it as UTF-8 (Notepad: Save as, Encoding UTF-8)")
                      .arg(codec_name(codec), codec_name(readIn)));
            return true;
        }
    }
    const QString usual = usual_russian_letters();
    if (std::none_of(letters.begin(), letters.end(),
                     [&usual](QChar c) { return usual.contains(c); })) {
        f.add(lettersSection, Level::Warning,
              QStringLiteral("holds none of the usual letters as read (in %1): it is probably "
                             "saved in another encoding; save the 64 letters as UTF-8")
                  .arg(codec_name(readIn)));
        return true;
    }
    return false;
}

} // namespace

void check_letters(Findings &f, const QString &letters, const QByteArray &bytes)
{
    const QString usual = usual_russian_letters();
    const int size = letters.size();
    if (check_letters_encoding(f, letters, bytes))
        return;
    if (size == letterCount)
        f.add(lettersSection, Level::Ok, QStringLiteral("%1 characters").arg(size));
    else if (size == letterCount + 1 && letters.endsWith(QLatin1Char('\n')))
        f.add(lettersSection, Level::Ok,
              QStringLiteral("%1 letters and a line end, which is never used").arg(letterCount));
    else if (size < letterCount)
        f.add(lettersSection, Level::Warning,
              QStringLiteral("only %1 characters: table positions %1 to %2 have no letter")
                  .arg(QString::number(size), QString::number(letterCount - 1)));
    else
        f.add(lettersSection, Level::Note,
              QStringLiteral("%1 characters: those after the first %2 are never used")
                  .arg(QString::number(size), QString::number(letterCount)));

    const QString table = letters.left(letterCount);
    bool inTableOrder = true;
    for (int k = table.indexOf(QLatin1Char('\n')); k >= 0;
         k = table.indexOf(QLatin1Char('\n'), k + 1)) {
        inTableOrder = false;
        f.add(
            lettersSection, Level::Warning,
            QStringLiteral("a line break at position %1 shifts every later letter by one").arg(k));
    }
    QSet<QChar> seen;
    for (int k = 0; k < table.size(); ++k) {
        if (seen.contains(table[k]))
            f.add(lettersSection, Level::Warning,
                  QStringLiteral("%1 stands at positions %2 and %3: it gives both outputs")
                      .arg(visible(table[k]), QString::number(table.indexOf(table[k])),
                           QString::number(k)));
        seen.insert(table[k]);
    }
    QStringList differing, wrong;
    for (int k = 0; k < letterCount; ++k) {
        const QString found = k < size ? visible(letters[k]) : QStringLiteral("nothing");
        if (k >= size || letters[k] != usual[k])
            differing
                << QStringLiteral("%1 (%2 instead of %3)").arg(QString::number(k), found, usual[k]);
        const QString got = transliterate(usual[k], letters);
        const QString want = transliterate(usual[k], usual);
        if (got != want)
            wrong
                << QStringLiteral("%1 gives %2, not %3").arg(usual[k], visible(got), visible(want));
    }
    if (!differing.isEmpty())
        f.add(lettersSection, Level::Warning,
              QStringLiteral("%1 positions differ from the usual letters: ").arg(differing.size()) +
                  listed(differing));
    if (!wrong.isEmpty())
        f.add(lettersSection, Level::Warning,
              QStringLiteral("%1 letters come out wrong: ").arg(wrong.size()) + listed(wrong));
    if (inTableOrder && differing.isEmpty() && wrong.isEmpty())
        f.add(lettersSection, Level::Ok, QStringLiteral("the usual letters, in the table's order"));
}
