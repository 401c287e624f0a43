// SPDX-License-Identifier: MIT
#pragma once

#include "config_check.h"

#include <QString>

// Plain text: one block per section, one line per finding, then a summary.
QString report_text(const QList<Finding> &findings);

// The same findings as a JSON document, for monitoring.
QString report_json(const QList<Finding> &findings);

// 0 with no warning or error, 1 with warnings only, 2 with any error.
int exit_status(const QList<Finding> &findings);
