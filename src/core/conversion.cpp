// SPDX-License-Identifier: MIT
#include "conversion.h"

#include "transliteration.h"

LatinForms latin_forms(const QString &artist, const QString &title, const QString &letters)
{
    if (title.isEmpty() || artist.isEmpty())
        return {QStringLiteral("-"), QStringLiteral("-")};
    QString latinTitle = transliterate(title, letters);
    latinTitle.replace(QLatin1Char(';'), QLatin1String(", "));
    return {transliterate(artist, letters), latinTitle};
}

QString meta_text(const QString &artist, const QString &splitter, const QString &title)
{
    return artist + splitter + title;
}

QString rds_text(const LatinForms &latin, const QString &splitter)
{
    return latin.artist + splitter + latin.title;
}

NameSpan declared_encoding(const QString &document)
{
    const QString key = QStringLiteral("encoding=");
    const int keyAt = document.indexOf(key, 0, Qt::CaseSensitive);
    if (keyAt < 0)
        return {};
    const int quoteAt = keyAt + key.size();
    if (quoteAt >= document.size())
        return {};
    const QChar quote = document.at(quoteAt);
    if (quote != QLatin1Char('"') && quote != QLatin1Char('\''))
        return {};
    const int closeAt = document.indexOf(quote, quoteAt + 1);
    if (closeAt < 0)
        return {};
    return {quoteAt + 1, closeAt - quoteAt - 1};
}

QString rewrite_encoding(QString document, const QString &documentEncoding,
                         const QString &copyEncoding)
{
    if (documentEncoding == copyEncoding)
        return document;
    // The declared name is replaced whole, whatever its spelling: a name
    // that differs from the setting ("cp1251" for "windows-1251") must
    // neither leave a tail nor swallow the closing quote.
    const NameSpan span = declared_encoding(document);
    if (span.start < 0)
        return document;
    return document.replace(span.start, span.length, copyEncoding);
}
