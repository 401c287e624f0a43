// SPDX-License-Identifier: MIT
#include "on_air_text.h"

#include "transliteration.h"

#include <QVector>

#include <algorithm>

bool is_control(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

int character_count(const QString &text)
{
    int count = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

namespace {

bool is_pictographic(uint c)
{
    if (c == 0x200D || c == 0xFE0E || c == 0xFE0F || c == 0x20E3 ||
        (c >= 0xE0020 && c <= 0xE007F) || (c >= 0x1F3FB && c <= 0x1F3FF))
        return true;
    return c >= 0x2190 && QChar::category(c) == QChar::Symbol_Other;
}

} // namespace

QString without_pictographs(const QString &text)
{
    const QVector<uint> ucs4 = text.toUcs4();
    if (std::none_of(ucs4.begin(), ucs4.end(), is_pictographic))
        return text;
    QVector<uint> kept;
    kept.reserve(ucs4.size());
    for (const uint c : ucs4)
        if (!is_pictographic(c))
            kept << c;
    QString out = QString::fromUcs4(kept.constData(), int(kept.size()));
    // "Song 🎵 title" is "Song title", not "Song  title".
    for (int at = int(out.indexOf(QLatin1String("  "))); at >= 0;
         at = int(out.indexOf(QLatin1String("  "), at)))
        out.remove(at, 1);
    return out;
}

QString on_air_value(const QString &value)
{
    QString kept;
    kept.reserve(value.size());
    for (const QChar c : value)
        if (!is_control(c) || c.isSpace())
            kept += c;
    return kept.simplified();
}

LatinForms latin_forms(const QString &artist, const QString &title,
                       const Romanization &romanization)
{
    if (title.isEmpty() || artist.isEmpty())
        return {QStringLiteral("-"), QStringLiteral("-")};
    return {to_latin_name(romanization, artist), latin_title(title, romanization)};
}

QString latin_title(const QString &title, const Romanization &romanization)
{
    QString latin = to_latin_name(romanization, title);
    latin.replace(QLatin1Char(';'), QLatin1String(", "));
    return latin;
}

QString meta_text(const QString &artist, const QString &splitter, const QString &title)
{
    return artist + splitter + title;
}

QString rds_text(const LatinForms &latin, const QString &splitter)
{
    return latin.artist + splitter + latin.title;
}
