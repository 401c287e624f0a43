// SPDX-License-Identifier: MIT
#pragma once

#include "on_air_text.h"

#include <QString>
#include <QStringList>

// The elements of the document a destination's template or JSON names.

// The value of element `tag` in `document`, found and cleaned as title and
// artist are: between the first "<tag>" and the next "</tag>" outside
// comments, escapes and CDATA decoded, comments left out, one clean line.
QString field_value(const QString &document, const QString &tag);

// The value of `tag` for a pass: its artist for ARTIST and its title for
// NAME (as they went on air), any other element from its document.
QString field_of(const OnAirText &onAir, const QString &tag);

// The names of the document's elements that hold text and no element (and
// that a template can name: a start tag without attributes), each once, in
// the order they first stand, at most `limit`.
QStringList text_elements(const QString &document, int limit = 64);
