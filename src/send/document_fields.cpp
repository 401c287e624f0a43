// SPDX-License-Identifier: MIT
#include "document_fields.h"

#include "tag_extract.h"
#include "xml_text.h"

#include <QVector>

namespace {

// The end of the markup that starts at `at` with `open`, past `close`; the
// end of the text when it has none.
int past(const QString &text, int at, QLatin1String open, QLatin1String close)
{
    const int end = int(text.indexOf(close, at + open.size()));
    return end < 0 ? int(text.size()) : end + close.size();
}

bool is_name_char(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ||
           c == QLatin1Char('.') || c == QLatin1Char(':');
}

} // namespace

QString field_value(const QString &document, const QString &tag)
{
    return on_air_value(decode_xml_text(extract(document, tag)));
}

QString field_of(const OnAirText &onAir, const QString &tag)
{
    if (tag == QLatin1String("ARTIST"))
        return onAir.artist;
    if (tag == QLatin1String("NAME"))
        return onAir.title;
    return field_value(onAir.document, tag);
}

QStringList text_elements(const QString &document, int limit)
{
    struct Open {
        QString name;
        bool plain = false;    // "<name>", which extract finds
        bool hasChild = false; // an element stands inside it
    };
    QVector<Open> open;
    QStringList names;
    for (int at = int(document.indexOf(QLatin1Char('<'))); at >= 0 && names.size() < limit;
         at = int(document.indexOf(QLatin1Char('<'), at))) {
        const QStringView rest = QStringView(document).mid(at);
        if (rest.startsWith(QLatin1String("<!--"))) {
            at = past(document, at, QLatin1String("<!--"), QLatin1String("-->"));
            continue;
        }
        if (rest.startsWith(QLatin1String("<![CDATA["))) {
            at = past(document, at, QLatin1String("<![CDATA["), QLatin1String("]]>"));
            continue;
        }
        if (rest.startsWith(QLatin1String("<?")) || rest.startsWith(QLatin1String("<!"))) {
            at = past(document, at, QLatin1String("<"), QLatin1String(">"));
            continue;
        }
        const bool closing = rest.startsWith(QLatin1String("</"));
        int end = at + (closing ? 2 : 1);
        while (end < document.size() && is_name_char(document.at(end)))
            ++end;
        const QString name = document.mid(at + (closing ? 2 : 1), end - at - (closing ? 2 : 1));
        const int close = int(document.indexOf(QLatin1Char('>'), end));
        if (name.isEmpty() || close < 0) {
            ++at;
            continue;
        }
        if (closing) {
            while (!open.isEmpty() && open.last().name != name)
                open.removeLast();
            if (!open.isEmpty()) {
                const Open element = open.takeLast();
                // A name XML would not have ("<2nd>") is no field: a site
                // leaves aside a message that names one.
                const bool named =
                    element.name.at(0).isLetter() || element.name.at(0) == QLatin1Char('_');
                if (element.plain && !element.hasChild && named && !names.contains(element.name))
                    names << element.name;
            }
        } else {
            if (!open.isEmpty())
                open.last().hasChild = true;
            if (document.at(close - 1) != QLatin1Char('/'))
                open.append({name, close == end, false});
        }
        at = close + 1;
    }
    return names;
}
