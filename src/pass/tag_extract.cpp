// SPDX-License-Identifier: MIT
#include "tag_extract.h"

#include "xml_text.h"

namespace {

const QLatin1String commentOpen("<!--");
const QLatin1String commentClose("-->");

// Finds a needle outside comments, left to right. Only the stretch before
// each candidate is searched for a comment, so that a run of searches, each
// from the end of the last result, reads the text once.
class OutsideComments {
public:
    explicit OutsideComments(const QString &text) : text_(text)
    {
    }

    // The first `needle` at or after `from` (which is outside comments) that
    // is not inside a comment, or -1.
    int next(const QString &needle, int from) const
    {
        for (int at = from;;) {
            const int found = int(text_.indexOf(needle, at));
            if (found < 0)
                return -1;
            const int comment = int(QStringView(text_).mid(at, found - at).indexOf(commentOpen));
            if (comment < 0)
                return found;
            const int end = int(text_.indexOf(commentClose, at + comment + commentOpen.size()));
            if (end < 0)
                return -1; // an unclosed comment hides the rest
            at = end + commentClose.size();
        }
    }

private:
    const QString &text_;
};

// Whether an empty-element tag ("<tag/>", or with white space before "/>")
// starts outside comments somewhere before `limit`.
bool empty_element_before(const QString &text, const QString &tag, int limit)
{
    const QString start = QLatin1Char('<') + tag;
    OutsideComments search(text);
    for (int at = search.next(start, 0); at >= 0 && at < limit;
         at = search.next(start, at + start.size())) {
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

QVector<int> positions_outside_comments(const QString &text, const QString &needle)
{
    QVector<int> positions;
    if (needle.isEmpty())
        return positions;
    OutsideComments search(text);
    for (int at = search.next(needle, 0); at >= 0; at = search.next(needle, at + needle.size()))
        positions.append(at);
    return positions;
}

int index_outside_comments(const QString &text, const QString &needle, int from)
{
    return OutsideComments(text).next(needle, from);
}

QString extract(const QString &text, const QString &tag)
{
    const QString openTag = opening_tag(tag);
    const int open = index_outside_comments(text, openTag);
    if (open < 0 || empty_element_before(text, tag, open))
        return QString();
    const int valueStart = open + openTag.size();
    // Searching on from the opening tag keeps a stray closing tag earlier in
    // the text from turning the value into "everything up to the end".
    const int close = index_outside_comments(text, closing_tag(tag), valueStart);
    if (close < 0)
        return QString();
    return text.mid(valueStart, close - valueStart);
}
