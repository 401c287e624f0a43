#include "conversion.h"

#include "transliteration.h"

LatinForms latin_forms(QString rusArtist, QString rusName, QString rusLetters)
{
    if (rusName.isEmpty() || rusArtist.isEmpty())
        return {QStringLiteral("-"), QStringLiteral("-")};
    QString engName = change_letters_test(rusName, rusLetters);
    engName.replace(QLatin1Char(';'), QLatin1String(", "));
    return {change_letters_test(rusArtist, rusLetters), engName};
}

QString meta_text(QString rusArtist, QString metaSplitter, QString rusName)
{
    return rusArtist + metaSplitter + rusName;
}

QString rds_text(LatinForms eng, QString rdsSplitter)
{
    return eng.engArtist + rdsSplitter + eng.engName;
}

NameSpan declared_encoding(const QString &text)
{
    const QString key = QStringLiteral("encoding=");
    const int begEnc = text.indexOf(key, 0, Qt::CaseSensitive);
    if (begEnc < 0)
        return {};
    const int quotePos = begEnc + key.size();
    if (quotePos >= text.size())
        return {};
    const QChar quote = text.at(quotePos);
    if (quote != QLatin1Char('"') && quote != QLatin1Char('\''))
        return {};
    const int closePos = text.indexOf(quote, quotePos + 1);
    if (closePos < 0)
        return {};
    return {quotePos + 1, closePos - quotePos - 1};
}

QString rewrite_encoding(QString stringFromFile, QString inXmlEnc, QString outXmlEnc)
{
    if (inXmlEnc == outXmlEnc)
        return stringFromFile;
    // The declared name is replaced whole, whatever its spelling: a name
    // that differs from the INXMLENC setting ("cp1251" for "windows-1251")
    // must neither leave a tail nor swallow the closing quote.
    const NameSpan span = declared_encoding(stringFromFile);
    if (span.start < 0)
        return stringFromFile;
    return stringFromFile.replace(span.start, span.length, outXmlEnc);
}
