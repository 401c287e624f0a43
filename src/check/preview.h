// SPDX-License-Identifier: MIT
#pragma once

#include "pass.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// One output as the next pass would write it.
struct PreviewOutput {
    Output which = Output::Copy;
    QString path;
    QString encoding;                   // the name of the codec it is written in
    QByteArray bytes;                   // exactly what is written
    std::optional<QString> declaration; // the copy's XML declaration, if it has one
};

// The outputs a pass would write, in order, up to the first it would not.
using Preview = std::vector<PreviewOutput>;

// The preview of `which`, or null when the pass would not write it.
const PreviewOutput *previewed(const Preview &preview, Output which);

// The outputs a pass with `plan` writes, in order, until the first it would
// not (an input in its place, or a path it cannot create); none when the
// plan stops before writing.
Preview preview_of(const PassPlan &plan);
