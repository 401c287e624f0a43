// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The value between the first "<tag>" in `text` and the first "</tag>" after
// it, verbatim: nothing trimmed or decoded, tags matched case-sensitively and
// without attributes. An empty-element tag ("<tag/>", "<tag />") standing
// before the first "<tag>" is an empty value, so that an empty element never
// takes the value of a later one. An absent value is the empty string; there
// is no failure.
QString extract(const QString &text, const QString &tag);

// The literal tags extract looks for: "<tag>" and "</tag>".
QString opening_tag(const QString &tag);
QString closing_tag(const QString &tag);
