// SPDX-License-Identifier: MIT
#include "document.h"

#include "declaration.h"
#include "encoding.h"
#include "paths.h"
#include "text_file.h"

DocumentText read_document(const QString &documentPath, QTextCodec *documentCodec,
                           const QString &copyPath, QTextCodec *copyCodec)
{
    DocumentText document{read_text_file(documentPath, documentCodec), documentCodec, false};
    if (!document.text || codec_or_locale(documentCodec) == copyCodec ||
        !same_file(documentPath, copyPath))
        return document;
    const NameSpan declared = declared_encoding(*document.text);
    if (declared.start < 0 ||
        codec_for_name(document.text->mid(declared.start, declared.length)) != copyCodec)
        return document;
    return {read_text_file(documentPath, copyCodec), copyCodec, true};
}

namespace {

bool is_name_char(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ||
           c == QLatin1Char('.') || c == QLatin1Char(':');
}

// Past white space, and markup that is not an element (the declaration,
// processing instructions, comments, a DOCTYPE) at `at`.
int past_prolog(const QString &text, int at)
{
    for (;;) {
        while (at < text.size() && (text.at(at).isSpace() || text.at(at) == QChar(0xFEFF)))
            ++at;
        const QStringView rest = QStringView(text).mid(at);
        const auto skip = [&](QLatin1String open, QLatin1String close) {
            const int end = int(text.indexOf(close, at + open.size()));
            at = end < 0 ? int(text.size()) : end + close.size();
        };
        if (rest.startsWith(QLatin1String("<?")))
            skip(QLatin1String("<?"), QLatin1String("?>"));
        else if (rest.startsWith(QLatin1String("<!--")))
            skip(QLatin1String("<!--"), QLatin1String("-->"));
        else if (rest.startsWith(QLatin1String("<!")))
            skip(QLatin1String("<!"), QLatin1String(">"));
        else
            return at;
    }
}

} // namespace

bool document_looks_whole(const QString &document)
{
    const int start = past_prolog(document, 0);
    // Empty: caught between a writer's truncation and its write.
    if (start >= document.size())
        return false;
    if (document.at(start) != QLatin1Char('<'))
        return true; // not XML: nothing to tell its end by
    int end = start + 1;
    while (end < document.size() && is_name_char(document.at(end)))
        ++end;
    const QString root = document.mid(start + 1, end - start - 1);
    // The usual case at once: the root's end tag last.
    int tail = int(document.size());
    while (tail > 0 && document.at(tail - 1).isSpace())
        --tail;
    if (!root.isEmpty() && QStringView(document).left(tail).endsWith(
                               QString(QLatin1String("</") + root + QLatin1Char('>'))))
        return true;
    // Otherwise every element opened must be closed by the end (a fragment
    // of several elements is whole too), and the text must not end inside a
    // tag.
    int depth = 0;
    for (int at = start; at < document.size();) {
        at = past_prolog(document, at);
        if (at >= document.size())
            break;
        if (document.at(at) != QLatin1Char('<')) {
            const int next = int(document.indexOf(QLatin1Char('<'), at));
            if (next < 0)
                break;
            at = next;
            continue;
        }
        if (QStringView(document).mid(at).startsWith(QLatin1String("<![CDATA["))) {
            const int close = int(document.indexOf(QLatin1String("]]>"), at));
            if (close < 0)
                return false;
            at = close + 3;
            continue;
        }
        const int close = int(document.indexOf(QLatin1Char('>'), at));
        if (close < 0)
            return false;
        if (document.at(at + 1) == QLatin1Char('/'))
            --depth;
        else if (document.at(close - 1) != QLatin1Char('/'))
            ++depth;
        at = close + 1;
    }
    return depth <= 0;
}
