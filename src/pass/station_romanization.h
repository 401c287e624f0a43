// SPDX-License-Identifier: MIT
#pragma once

#include "romanization.h"
#include "settings.h"

// A station's Romanization as its settings give it: LATIN (a language the
// program does not know is taken as absent: the checker says so), the
// letters file's text, and the spellings file SPELLINGS names, at
// `spellingsFile` as the caller finds it (one that cannot be read is
// none). With `onlyFor`, only the spellings whose text stands in it are
// kept.
Romanization station_romanization(const RunSettings &settings, const QString &letters,
                                  const QString &spellingsFile, const QString *onlyFor = nullptr);
