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
