// SPDX-License-Identifier: MIT
#pragma once

#include "spellings.h"

#include <QByteArray>

class QTextCodec;

// The spellings in a spellings file's bytes, decoded as every settings file
// is (a byte-order mark, else UTF-8 when the bytes are valid UTF-8, else
// `localeCodec`). With `onlyIn`, the entries are those read_spellings gives
// for the whole decoded text with `onlyIn`, line numbers included; but a
// line with a word that is no word of `onlyIn` is passed over in its bytes,
// undecoded, when the charset allows (UTF-8 or one byte per character): a
// pass reads a file of thousands of names for one artist and title.
Spellings read_spellings_file(const QByteArray &bytes, QTextCodec *localeCodec,
                              const QString *onlyIn = nullptr);
