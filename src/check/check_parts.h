// SPDX-License-Identifier: MIT
#pragma once

// The checker's parts, one per subject: each adds its findings in the order
// the report shows them.

#include "describe.h"
#include "destination.h"
#include "findings.h"
#include "pass.h"
#include "romanization.h"
#include "settings.h"

class QDateTime;

// The nine settings: present, closed, once, without quotes or stray blanks.
void check_settings(Findings &f, const RunSettings &settings);
// LATIN, SPELLINGS, IDLETEXT and FOLLOW, unclosed or given twice (a part
// of check_settings, and all a site's settings are checked for).
void check_further_tags(Findings &f, const RunSettings &settings);
// The three encoding names, and the text files' own encodings.
void check_encodings(Findings &f, const RunSettings &settings, const QByteArray &settingsBytes);

// Each weekday's bad hours, items that never match, look-alike tags, and
// whether a pass at `now` would run.
void check_bad_hours(Findings &f, const RunSettings &settings, const QDateTime &now);

// The letters file as read (`letters`) and as saved (`bytes`).
void check_letters(Findings &f, const QString &letters, const QByteArray &bytes);

// The document: how it is read, its declaration, and which title and
// artist the pass takes from it.
void check_document(Findings &f, const RunSettings &settings, const QString &path);

// Whether each output can be written, and outputs that name one file.
void check_outputs(Findings &f, const PassPlan &plan);
// Whether what makes a pass on every change sees the document change.
void check_watching(Findings &f, const QString &documentPath);

// Each destination (SEND1 to SEND9) with what it would be sent now, and
// what it would lose.
void check_sending(Findings &f, const PassPlan &plan);
// Sends the current text once to each destination and reports each answer.
void send_test(Findings &f, const PassPlan &plan);
// --send-test for a site: the studio's current message (the one its
// broker keeps on the topic), as the site puts it on air with `latin`,
// sent once to each of its destinations; an error when no message comes
// within 5 s or it is not one the site would take.
void site_send_test(Findings &f, const RunSettings &settings, const Romanization &latin);
// A destination's templates: what they name that the document does not
// have, and a template that can never give a text.
void check_templates(Findings &f, const Destination &destination, const OnAirText &onAir);
// A site that follows its studio (FOLLOW): the source it reads, and its
// destinations and their templates, which get what the studio publishes.
void check_follow(Findings &f, const RunSettings &settings);
// Tags that almost name a destination (<send1>, <SEND 2>, <SEND10>) or are
// never closed, which the watcher ignores.
void check_destination_tags(Findings &f, const RunSettings &settings);

// The META and RDS texts as they go on air, and what they lose.
void check_preview(Findings &f, const PassPlan &plan);
// The Latin the RDS text is written in (LATIN): the language in use with
// the current title in it, and letters of the document that look like
// another language's.
void check_latin(Findings &f, const RunSettings &settings, const PassPlan &plan);
// The station's own spellings (SPELLINGS): lines that cannot be read, and
// those used now.
void check_spellings(Findings &f, const RunSettings &settings, const PassPlan &plan);
