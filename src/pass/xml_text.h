// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The text an XML reader would see in an element's content: the predefined
// entities (&amp; &lt; &gt; &quot; &apos;) and character references (&#N; and
// &#xH; for code points 1 to 10FFFF but surrogates) decoded in one pass from
// left to right, CDATA sections replaced by their content as it stands, and
// comments ("<!--" to "-->") left out. Anything else (an unknown or malformed
// reference, a bare "&", an unclosed CDATA section or comment) stays as
// written. The result is never longer than `value`.
QString decode_xml_text(const QString &value);

// XML's white space: blank, tab, line feed, carriage return.
bool is_xml_space(QChar c);
