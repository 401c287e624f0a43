// SPDX-License-Identifier: MIT
#pragma once

#include <QChar>
#include <QString>

#include <functional>

// Letters a destination's character set lacks, written as the plain letter
// a reader of that set expects rather than as "?": "š" as "s", "Đ" as "D",
// "„" as '"', "—" as "-". Always one character for one, so that a text cut
// to its destination's limit and the places of its RT+ and DL Plus tags
// stay as they are.

// The one character that stands for `c` where `c` cannot be shown: its
// letter without marks (NFD), or the usual plain form of a letter or mark
// that has none there; a null QChar when there is none (a Cyrillic or a
// Chinese letter, an emoji's half).
QChar plain_letter(QChar c);

// `text` with every character that `holds` refuses replaced by its plain
// letter, where it has one that `holds` takes; the others stay, for the
// character set's own "?".
QString with_plain_letters(const QString &text, const std::function<bool(QChar)> &holds);
