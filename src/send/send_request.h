// SPDX-License-Identifier: MIT
#pragma once

#include "destination.h"
#include "sent_text.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

// What one destination is sent for one pass: no network here, so that every
// byte can be checked.

struct SendRequest {
    // Files (file:, dls:): what the file holds, written beside and renamed
    // into place
    QString path;
    QByteArray fileBytes;
    // MQTT: the topic `body` is published to, retained, with QoS 1
    QString topic;
    // HTTP (Icecast, Shoutcast, web hooks)
    QByteArray method; // "GET" or "POST"
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // RDS encoders: the commands, each ended as the dialect ends it
    QList<QByteArray> commands;
    // For the log: the text that was sent (or what it was sent for)
    QString shown;
};

// The request that carries `sent` to `destination`; `onAir` for the web
// hook's JSON object or query fields, `id` for the JSON's "id", the same for
// every try of one text.
SendRequest send_request(const Destination &destination, const SentText &sent,
                         const OnAirText &onAir, const QString &id = QString());

// The bytes of an HTTP/1.1 request for `request` (method, URL, headers and
// body): its request line, Host, the request's own headers, Content-Length
// for a body, and "Connection: close" (one request a connection).
QByteArray http_request_bytes(const SendRequest &request);

// Whether the character set `destination` is sent in (the RDS table for
// UECP) holds `character` (one, a surrogate pair included) as it is; what
// it lacks goes as its plain letter (plain_letter) or "?".
bool destination_holds(const Destination &destination, const QString &character);

// An RDS encoder's command for the programme service name `name` (cut or
// padded to 8 characters) in its dialect.
QByteArray ps_command(const Destination &destination, const QString &name);

// With ps=page, the pages of the programme service name for `sent`: the
// text's (ps_pages), or between songs the static name when there is one.
QStringList ps_pages_of(const SentText &sent);

// `request` as a new text goes out: with ps=page, the first page of the
// programme service name before the RadioText; as it is otherwise.
SendRequest with_first_page(const Destination &destination, const SentText &sent,
                            SendRequest request);

// A DAB+ label file: the label, and with DL Plus a parameters block after
// it tagging artist and title (start from 0, length less one).
QByteArray dynamic_label_file(const SentText &sent, bool dlPlus);
