// SPDX-License-Identifier: MIT
#include "spellings.h"

#include <algorithm>

namespace {

bool is_word_char(QChar c)
{
    return c.isLetterOrNumber();
}

// The word that starts at `at`, in lower case.
QString word_at(const QString &text, int at)
{
    int end = at;
    while (end < text.size() && is_word_char(text.at(end)))
        ++end;
    return text.mid(at, end - at).toLower();
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

} // namespace

QSet<QString> words_of(const QString &text)
{
    QSet<QString> words;
    for (int at = 0; at < text.size();) {
        if (!is_word_char(text.at(at))) {
            ++at;
            continue;
        }
        const QString word = word_at(text, at);
        words.insert(word);
        at += int(word.size());
    }
    return words;
}

Spellings read_spellings(const QString &text, const QSet<QString> *wanted)
{
    Spellings spellings;
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
        const int equals = int(row.indexOf(QLatin1String(" = ")));
        if (equals < 0) {
            spellings.problems << QStringLiteral("line %1: no \" = \" between the text and its "
                                                 "spelling")
                                      .arg(QString::number(line));
            continue;
        }
        const QString written = row.left(equals).trimmed().toString();
        const QString latin = row.mid(equals + 3).trimmed().toString();
        if (written.isEmpty() || latin.isEmpty() || !is_word_char(written.front()) ||
            !is_word_char(written.back())) {
            spellings.problems << QStringLiteral("line %1: %2")
                                      .arg(QString::number(line),
                                           written.isEmpty() || latin.isEmpty()
                                               ? QStringLiteral("an empty side")
                                               : QStringLiteral("the text does not start and end "
                                                                "with a letter or digit"));
            continue;
        }
        const QString first = word_at(written, 0);
        if (wanted && !wanted->contains(first))
            continue;
        spellings.byFirstWord[first].append(int(spellings.entries.size()));
        spellings.entries.push_back({written, latin, line});
    }
    for (QVector<int> &candidates : spellings.byFirstWord)
        std::stable_sort(candidates.begin(), candidates.end(), [&](int a, int b) {
            return spellings.entries[size_t(a)].written.size() >
                   spellings.entries[size_t(b)].written.size();
        });
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
        bool found = false;
        for (const int index : spellings.byFirstWord.value(word_at(text, at))) {
            const Spelling &s = spellings.entries[size_t(index)];
            const int end = at + int(s.written.size());
            if (end > text.size() || (end < text.size() && is_word_char(text.at(end))) ||
                QStringView(text)
                        .mid(at, s.written.size())
                        .compare(s.written, Qt::CaseInsensitive) != 0)
                continue;
            const QString matched = text.mid(at, s.written.size());
            parts.append({at, int(s.written.size()),
                          all_capitals(matched) ? s.latin.toUpper() : s.latin, s.line});
            at = end;
            found = true;
            break;
        }
        if (!found)
            ++at;
    }
    return parts;
}
