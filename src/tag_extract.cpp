#include "tag_extract.h"

QString extract(QString str, QString tag)
{
    const QString openTag = QLatin1Char('<') + tag + QLatin1Char('>');
    const QString closeTag = QLatin1String("</") + tag + QLatin1Char('>');
    const int space = openTag.size();

    const int begName = str.indexOf(openTag, 0, Qt::CaseSensitive);
    if (begName < 0)
        return QString();
    // Searching on from the opening tag keeps a stray closing tag earlier in
    // the text from turning the value into "everything up to the end".
    const int finName = str.indexOf(closeTag, begName + space, Qt::CaseSensitive);
    if (finName < 0)
        return QString();
    return str.mid(begName + space, finName - begName - space);
}
