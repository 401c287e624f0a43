// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The programme service name holds 8 characters. A text shown in it goes
// in pages: whole words where they fit (blanks between them), a word longer
// than 8 split into pieces of 8; each page padded with blanks to 8. An
// empty text gives no page.
constexpr int psLength = 8;
QStringList ps_pages(const QString &text);
