// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <cstdio>

// Writes `text` to `stream` (standard output or standard error) so that a
// reader sees the characters themselves. On Linux: in the locale encoding.
// On Windows: to a console as UTF-16 (a console shows the OEM code page, 866
// on a Russian Windows, not the ANSI code page a program writes in), and to
// a file or pipe as UTF-8. Flushes the stream.
void print_text(std::FILE *stream, const QString &text);
