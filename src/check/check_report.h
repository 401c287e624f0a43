// SPDX-License-Identifier: MIT
#pragma once

#include "check_configuration.h"

#include <QString>

// Plain text: one block per section, one line per finding, then a summary.
QString report_text(const QList<Finding> &findings);

// The findings and the preview as a JSON document, for monitoring and for
// comparing with what the pass writes.
QString report_json(const CheckReport &report);

// 0 with no warning or error, 1 with warnings only, 2 with any error.
int exit_status(const QList<Finding> &findings);
