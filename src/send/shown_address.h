// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

// What of an address may be shown: one rule, used by the log, the status
// file, the metrics, the checker's report (text and JSON) and every error
// message:
// - no password in the user info;
// - the value of a query item whose name holds "key", "token", "secret",
//   "pass", "pwd", "auth", "sig", "session" or "credential" (in any case,
//   with any separator around it) is shown as "...";
// - a path segment of 16 or more characters that mixes letters and digits
//   (where chat and automation services put the credential of a web hook)
//   is shown as "...";
// - at most longestShownAddressBytes bytes of it (UTF-8), "..." after a
//   cut: a line that names it keeps room for what went wrong.

constexpr int longestShownAddressBytes = 256;

// Whether a query item of this name holds a secret.
bool is_secret_name(const QString &name);

// Whether a path segment (decoded) may be a credential.
bool is_secret_segment(const QString &segment);

// `url` as it may be shown, by the rule above; a fragment, if any, as "#...".
// `encoded`: every character outside ASCII percent-encoded, as sent.
QString shown_address(const QUrl &url, bool encoded = false);

// `text` with every address in it (SCHEME://...) shown by the rule above:
// for the system's and Qt's own messages, which name the address they
// failed on.
QString without_secrets(const QString &text);
