// SPDX-License-Identifier: MIT
#include "tag_extract.h"

#include "xml_text.h"

namespace {

// Whether an empty-element tag ("<tag/>", or with white space before "/>")
// starts somewhere before `limit`.
bool empty_element_before(const QString &text, const QString &tag, int limit)
{
    const QString start = QLatin1Char('<') + tag;
    for (int at = text.indexOf(start); at >= 0 && at < limit;
         at = text.indexOf(start, at + start.size())) {
        int end = at + start.size();
        while (end < text.size() && is_xml_space(text.at(end)))
            ++end;
        if (QStringView(text).mid(end).startsWith(QLatin1String("/>")))
            return true;
    }
    return false;
}

} // namespace

QString opening_tag(const QString &tag)
{
    return QLatin1Char('<') + tag + QLatin1Char('>');
}

QString closing_tag(const QString &tag)
{
    return QLatin1String("</") + tag + QLatin1Char('>');
}

QString extract(const QString &text, const QString &tag)
{
    const QString openTag = opening_tag(tag);
    const QString closeTag = closing_tag(tag);

    const int open = text.indexOf(openTag, 0, Qt::CaseSensitive);
    if (open < 0 || empty_element_before(text, tag, open))
        return QString();
    const int valueStart = open + openTag.size();
    // Searching on from the opening tag keeps a stray closing tag earlier in
    // the text from turning the value into "everything up to the end".
    const int close = text.indexOf(closeTag, valueStart, Qt::CaseSensitive);
    if (close < 0)
        return QString();
    return text.mid(valueStart, close - valueStart);
}
