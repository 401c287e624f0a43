// SPDX-License-Identifier: MIT
#include "on_air_text.h"

#include "transliteration.h"

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

QString on_air_value(const QString &value)
{
    QString kept;
    kept.reserve(value.size());
    for (const QChar c : value)
        if (!is_control(c) || c.isSpace())
            kept += c;
    return kept.simplified();
}

LatinForms latin_forms(const QString &artist, const QString &title, const QString &letters)
{
    if (title.isEmpty() || artist.isEmpty())
        return {QStringLiteral("-"), QStringLiteral("-")};
    return {transliterate(artist, letters), latin_title(title, letters)};
}

QString latin_title(const QString &title, const QString &letters)
{
    QString latin = transliterate(title, letters);
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
