// SPDX-License-Identifier: MIT
// Tag extraction on arbitrary text and tag names: the value is either empty
// or what stands between the first opening tag and the next closing tag, with
// no empty-element tag of the name before it.
#include "fuzz_input.h"
#include "tag_extract.h"

#include <QRegularExpression>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = split_parts(data, size, 2);
    const QString tag = to_text(parts[0]);
    const QString text = to_text(parts[1]);
    const QString value = extract(text, tag);

    const QString openTag = "<" + tag + ">";
    const QString closeTag = "</" + tag + ">";
    const int begName = text.indexOf(openTag);
    if (value.isEmpty())
        return 0;
    // A non-empty value means both tags were found, in this order, with the
    // value between them and no closing tag inside it.
    if (begName < 0 || text.mid(begName + openTag.size(), value.size()) != value ||
        text.mid(begName + openTag.size() + value.size(), closeTag.size()) != closeTag ||
        value.contains(closeTag))
        std::abort();
    const QRegularExpression emptyElement("<" + QRegularExpression::escape(tag) + "[ \t\r\n]*/>");
    const QRegularExpressionMatch empty = emptyElement.match(text);
    if (empty.hasMatch() && empty.capturedStart() < begName)
        std::abort();
    return 0;
}
