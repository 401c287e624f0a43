// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The value between the first "<tag>" in `text` and the first "</tag>" after
// it, verbatim: nothing trimmed or decoded, tags matched case-sensitively and
// without attributes. An absent value is the empty string; there is no
// failure.
QString extract(const QString &text, const QString &tag);
