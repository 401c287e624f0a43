// SPDX-License-Identifier: MIT
#pragma once

#include "findings.h"
#include "preview.h"

class QDateTime;

// What the next pass would make of the configuration in the working folder,
// read through the functions the pass itself uses. Reads only; writes
// nothing.

struct CheckReport {
    QList<Finding> findings;
    // The outputs that a pass at the checked time would write; none where it
    // would stop before writing them.
    Preview preview;
};

// Checks the configuration in the working folder for a pass at `now`; with
// `sendTest`, also sends the current text once to each destination (which
// needs a QCoreApplication) and reports the answers. Without `withPreview`
// the report's preview stays empty: encoding a copy of many megabytes only
// to be shown in JSON is most of a check's time.
CheckReport check_configuration(const QDateTime &now, bool sendTest = false,
                                bool withPreview = true);
