// SPDX-License-Identifier: MIT
#include "spellings.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace {

bool is_word_char(QChar c)
{
    return c.isLetterOrNumber();
}

// The word that starts at `at`, as spellings compare it.
QString word_at(const QString &text, int at)
{
    int end = at;
    while (end < text.size() && is_word_char(text.at(end)))
        ++end;
    return spelling_key(QStringView(text).mid(at, end - at));
}

// A spelling goes on air as written, past every table: it must not bring
// back what the tables take away.
bool fit_for_latin(const QString &spelling)
{
    for (const QChar c : spelling)
        if (c.category() == QChar::Other_Control ||
            (c.isLetter() && c.script() == QChar::Script_Cyrillic))
            return false;
    return true;
}

// The keys of a text's words (runs of letters and digits).
QSet<QString> word_keys(QStringView text)
{
    QSet<QString> keys;
    for (int at = 0; at < text.size();) {
        if (!is_word_char(text.at(at))) {
            ++at;
            continue;
        }
        int end = at;
        while (end < text.size() && is_word_char(text.at(end)))
            ++end;
        keys.insert(spelling_key(text.mid(at, end - at)));
        at = end;
    }
    return keys;
}

bool all_capitals(const QString &text)
{
    bool letter = false;
    for (const QChar c : text) {
        if (c.isLower())
            return false;
        letter = letter || c.isUpper();
    }
    return letter;
}

// Where the `count`th word from `at` ends (words: runs of letters and
// digits); -1 when the text has fewer.
int end_of_words(const QString &text, int at, int count)
{
    int end = at;
    for (int word = 0; word < count; ++word) {
        while (end < text.size() && !is_word_char(text.at(end)))
            ++end;
        if (end >= text.size())
            return -1;
        while (end < text.size() && is_word_char(text.at(end)))
            ++end;
    }
    return end;
}

int words_in(const QString &text)
{
    int count = 0;
    for (int at = 0; at < text.size(); ++at)
        if (is_word_char(text.at(at)) && (at == 0 || !is_word_char(text.at(at - 1))))
            ++count;
    return count;
}

} // namespace

QString spelling_key(QStringView text)
{
    QString key(text.size(), Qt::Uninitialized);
    QChar *out = key.data();
    for (const QChar c : text)
        *out++ = QChar(char16_t(QChar::toCaseFolded(uint(c.unicode()))));
    return key;
}

Spellings read_spellings(const QString &text, const QString *onlyIn)
{
    Spellings spellings;
    const QSet<QString> wordsIn = onlyIn ? word_keys(*onlyIn) : QSet<QString>();
    int line = 0;
    for (int start = 0; start <= text.size();) {
        int end = int(text.indexOf(QLatin1Char('\n'), start));
        if (end < 0)
            end = int(text.size());
        ++line;
        const QStringView row = QStringView(text).mid(start, end - start).trimmed();
        start = end + 1;
        if (row.isEmpty() || row.startsWith(QLatin1Char('#')))
            continue;
        // "Сплин=Splean" is meant as "Сплин = Splean".
        int equals = int(row.indexOf(QLatin1String(" = ")));
        int sign = 3;
        if (equals < 0 && (equals = int(row.indexOf(QLatin1Char('=')))) >= 0)
            sign = 1;
        // Only what can match is taken further.
        if (onlyIn && (equals < 0 || !wordsIn.contains(word_keys(row.left(equals)))))
            continue;
        if (equals < 0) {
            spellings.problems << QStringLiteral("line %1: no \"=\" between the text and its "
                                                 "spelling")
                                      .arg(QString::number(line));
            continue;
        }
        const QString written = row.left(equals).trimmed().toString();
        const QString latin = row.mid(equals + sign).trimmed().toString();
        QString problem;
        if (written.isEmpty() || latin.isEmpty())
            problem = QStringLiteral("an empty side");
        else if (!is_word_char(written.front()) || !is_word_char(written.back()))
            problem = QStringLiteral("the text does not start and end with a letter or digit");
        else if (!fit_for_latin(latin))
            problem = QStringLiteral("the spelling holds a Cyrillic letter or a control "
                                     "character, which the Latin text never carries");
        if (!problem.isEmpty()) {
            spellings.problems << QStringLiteral("line %1: %2").arg(QString::number(line), problem);
            continue;
        }
        const QString key = spelling_key(written);
        if (spellings.byText.contains(key)) {
            spellings.problems
                << QStringLiteral("line %1: the same text as line %2, whose spelling counts")
                       .arg(QString::number(line),
                            QString::number(spellings.entries[spellings.byText[key]].line));
            continue;
        }
        spellings.byText.insert(key, int(spellings.entries.size()));
        spellings.entries.push_back({written, latin, line});
        QVector<int> &counts = spellings.wordCounts[word_at(key, 0)];
        const int count = words_in(key);
        if (!counts.contains(count)) {
            counts << count;
            std::sort(counts.begin(), counts.end(), std::greater<int>());
        }
    }
    return spellings;
}

QVector<SpelledPart> spelled_parts(const QString &text, const Spellings &spellings)
{
    QVector<SpelledPart> parts;
    if (spellings.entries.empty())
        return parts;
    for (int at = 0; at < text.size();) {
        if (!is_word_char(text.at(at)) || (at > 0 && is_word_char(text.at(at - 1)))) {
            ++at;
            continue;
        }
        int matchedEnd = -1;
        // The longest entry that starts with this word and matches here.
        for (const int count : spellings.wordCounts.value(word_at(text, at))) {
            const int end = end_of_words(text, at, count);
            if (end < 0)
                continue;
            const int index =
                spellings.byText.value(spelling_key(QStringView(text).mid(at, end - at)), -1);
            if (index < 0)
                continue;
            const Spelling &s = spellings.entries[size_t(index)];
            const QString matched = text.mid(at, end - at);
            parts.append(
                {at, end - at, all_capitals(matched) ? s.latin.toUpper() : s.latin, s.line});
            matchedEnd = end;
            break;
        }
        at = matchedEnd >= 0 ? matchedEnd : at + 1;
    }
    return parts;
}
