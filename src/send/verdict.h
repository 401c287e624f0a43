// SPDX-License-Identifier: MIT
#pragma once

#include "destination.h"

#include <QByteArray>
#include <QString>

// How a destination's answer is judged.

// Whether a destination took the text, and what it said.
struct Verdict {
    bool delivered = false;
    QString answer; // what came back, or why nothing did
    // The destination refused the password (HTTP 401): tried again only
    // after the longest pause, since it will not change by itself soon.
    bool passwordRefused = false;
};

// An HTTP reply (status 0: none). Icecast answers 200 to a refused update
// too, so its reply message decides. A redirect is not followed (a web
// hook's text is not sent on to wherever a reply points): the address it
// names (`location`) is told, for the station to set.
Verdict judge_http_reply(const Destination &destination, int status, const QByteArray &body,
                         const QByteArray &location = QByteArray());

// One reply line of an RDS encoder to a command.
Verdict judge_rds_reply(const RdsDialect &dialect, const QByteArray &line);
