// SPDX-License-Identifier: MIT
#include "tag_extract.h"

QString extract(const QString &text, const QString &tag)
{
    const QString openTag = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString closeTag = QLatin1String("</") + tag + QLatin1Char('>');

    const int open = text.indexOf(openTag, 0, Qt::CaseSensitive);
    if (open < 0)
        return QString();
    const int valueStart = open + openTag.size();
    // Searching on from the opening tag keeps a stray closing tag earlier in
    // the text from turning the value into "everything up to the end".
    const int close = text.indexOf(closeTag, valueStart, Qt::CaseSensitive);
    if (close < 0)
        return QString();
    return text.mid(valueStart, close - valueStart);
}
