// SPDX-License-Identifier: MIT
#include "plain_letters.h"

#include <algorithm>

QChar plain_letter(QChar c)
{
    // Letters with a stroke or bar, which no decomposition takes apart, and
    // the typographer's quotes and dashes that titles are full of.
    static const struct {
        char16_t from;
        char to;
    } kept[] = {{u'Đ', 'D'},      {u'đ', 'd'},     {u'Ł', 'L'},  {u'ł', 'l'},  {u'Ø', 'O'},
                {u'ø', 'o'},      {u'Ħ', 'H'},     {u'ħ', 'h'},  {u'ı', 'i'},  {u'Ŧ', 'T'},
                {u'ŧ', 't'},      {u'ð', 'd'},     {u'Ŀ', 'L'},  {u'ŀ', 'l'},  {u'Ŋ', 'N'},
                {u'ŋ', 'n'},      {u'Ɨ', 'I'},     {u'ɨ', 'i'},  {u'‘', '\''}, {u'’', '\''},
                {u'‚', '\''},     {u'‛', '\''},    {u'′', '\''}, {u'“', '"'},  {u'”', '"'},
                {u'„', '"'},      {u'‟', '"'},     {u'″', '"'},  {u'«', '"'},  {u'»', '"'},
                {u'‹', '\''},     {u'›', '\''},    {u'‐', '-'},  {u'‑', '-'},  {u'‒', '-'},
                {u'–', '-'},      {u'—', '-'},     {u'―', '-'},  {u'−', '-'},  {u'\u00A0', ' '},
                {u'\u2009', ' '}, {u'\u202F', ' '}};
    for (const auto &k : kept)
        if (c.unicode() == k.from)
            return QLatin1Char(k.to);
    if (c.isSurrogate())
        return QChar();
    // "š" is "s" and a caron: the letter stands where the mark cannot.
    const QString parts = QString(c).normalized(QString::NormalizationForm_D);
    const bool marksOnly = std::all_of(parts.begin() + 1, parts.end(), [](QChar m) {
        return m.category() == QChar::Mark_NonSpacing;
    });
    if (parts.size() > 1 && marksOnly && parts.at(0).unicode() < 0x80)
        return parts.at(0);
    return QChar();
}

QString with_plain_letters(const QString &text, const std::function<bool(QChar)> &holds)
{
    QString out = text;
    for (QChar &c : out) {
        if (holds(c))
            continue;
        const QChar plain = plain_letter(c);
        if (!plain.isNull() && holds(plain))
            c = plain;
    }
    return out;
}
