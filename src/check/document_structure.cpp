// SPDX-License-Identifier: MIT
#include "document_structure.h"

#include "tag_extract.h"
#include "xml_text.h"

int line_of(const QString &text, int position)
{
    return int(QStringView(text).left(position).count(QLatin1Char('\n'))) + 1;
}

QVector<Enclosing> enclosing_elements(const QString &text, const QVector<int> &positions)
{
    QVector<Enclosing> found;
    QVector<Enclosing> open;
    int line = 1;
    int at = 0;
    const auto skip_to = [&](const QString &end) {
        const int close = text.indexOf(end, at);
        const int stop = close < 0 ? text.size() : close + end.size();
        line += int(QStringView(text).mid(at, stop - at).count(QLatin1Char('\n')));
        at = stop;
    };
    for (const int position : positions) {
        while (at < position) {
            const QChar c = text.at(at);
            if (c == QLatin1Char('\n'))
                ++line;
            if (c != QLatin1Char('<')) {
                ++at;
                continue;
            }
            const QStringView rest = QStringView(text).mid(at);
            if (rest.startsWith(QLatin1String("<!--"))) {
                skip_to(QStringLiteral("-->"));
            } else if (rest.startsWith(QLatin1String("<![CDATA["))) {
                skip_to(QStringLiteral("]]>"));
            } else if (rest.startsWith(QLatin1String("<?"))) {
                skip_to(QStringLiteral("?>"));
            } else {
                const bool closing = rest.startsWith(QLatin1String("</"));
                int end = at + (closing ? 2 : 1);
                const int nameStart = end;
                while (end < text.size() && !is_xml_space(text.at(end)) &&
                       text.at(end) != QLatin1Char('>') && text.at(end) != QLatin1Char('/'))
                    ++end;
                const QString name = text.mid(nameStart, end - nameStart);
                const int tagLine = line;
                skip_to(QStringLiteral(">"));
                const bool empty = at >= 2 && text.at(at - 1) == QLatin1Char('>') &&
                                   text.at(at - 2) == QLatin1Char('/');
                if (rest.startsWith(QLatin1String("<!")) || name.isEmpty()) {
                    // a declaration, or a lone "<"
                } else if (closing) {
                    for (int k = open.size() - 1; k >= 0; --k)
                        if (open.at(k).name == name) {
                            open.resize(k);
                            break;
                        }
                } else if (!empty) {
                    open.append({name, tagLine});
                }
            }
        }
        found.append(open.isEmpty() ? Enclosing{} : open.last());
    }
    return found;
}

QVector<int> elements_of(const QString &text, const QString &tag, int limit)
{
    const QString start = QLatin1Char('<') + tag;
    QVector<int> elements;
    int from = 0;
    while (elements.size() < limit) {
        const int at = index_outside_comments(text, start, from);
        if (at < 0)
            break;
        int end = at + start.size();
        while (end < text.size() && is_xml_space(text.at(end)))
            ++end;
        const QStringView after = QStringView(text).mid(end);
        if ((end == at + start.size() && after.startsWith(QLatin1Char('>'))) ||
            after.startsWith(QLatin1String("/>")))
            elements.append(at);
        from = at + start.size();
    }
    return elements;
}

bool inside_comment(const QString &text, int position)
{
    const int start = int(text.lastIndexOf(QLatin1String("<!--"), position));
    if (start < 0)
        return false;
    const int end = int(text.indexOf(QLatin1String("-->"), start + 4));
    return end < 0 || end + 3 > position;
}
