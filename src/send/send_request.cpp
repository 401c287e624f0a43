// SPDX-License-Identifier: MIT
#include "send_request.h"

#include "document_fields.h"
#include "encoding.h"
#include "now_playing_message.h"
#include "plain_letters.h"
#include "ps_pages.h"
#include "uecp.h"
#include "version.h"

#include <QTextCodec>
#include <QUrlQuery>

namespace {

// "%XX" for every byte but the unreserved ones, as a query value needs.
QByteArray query_value(const QByteArray &bytes)
{
    return bytes.toPercentEncoding("/");
}

QByteArray basic_authorization(const QUrl &url)
{
    const QByteArray pair = url.userName().toUtf8() + ':' + url.password().toUtf8();
    return "Basic " + pair.toBase64();
}

// The stream servers' own address: http on the URL's host and port.
QUrl server_url(const Destination &d, const char *path, const QByteArray &query)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(d.url.host());
    url.setPort(d.url.port(8000));
    url.setPath(QLatin1String(path));
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

// The bytes of `text` in the destination's character set, a letter it
// lacks as its plain letter.
QByteArray encoded_for(const Destination &d, const QString &text)
{
    return encode_text(
        with_plain_letters(text, [&d](QChar c) { return destination_holds(d, QString(c)); }),
        d.charset);
}

} // namespace

bool destination_holds(const Destination &d, const QString &character)
{
    if (d.dialect && d.dialect->uecp)
        return character.size() == 1 && rds_code(character.at(0)) >= 0;
    return codec_or_locale(d.charset)->canEncode(character);
}

QByteArray http_request_bytes(const SendRequest &request)
{
    const QUrl &url = request.url;
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    const bool tls = url.scheme() == QLatin1String("https");
    QByteArray host = QUrl::toAce(url.host());
    if (url.host().contains(QLatin1Char(':')))
        host = '[' + url.host().toLatin1() + ']'; // an IPv6 address
    if (url.port() > 0 && url.port() != (tls ? 443 : 80))
        host += ':' + QByteArray::number(url.port());
    QByteArray bytes = request.method + ' ' + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    for (const auto &header : request.headers)
        bytes += header.first + ": " + header.second + "\r\n";
    if (request.method == "POST")
        bytes += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    return bytes + "Connection: close\r\n\r\n" + request.body;
}

QByteArray dynamic_label_file(const SentText &sent, bool dlPlus)
{
    QByteArray file = sent.text.toUtf8();
    if (!dlPlus)
        return file;
    file += "\n##### parameters { #####\nDL_PLUS=1\n";
    for (const RtPlusTag &tag : rt_plus_tags(sent))
        file += "DL_PLUS_TAG=" + QByteArray::number(tag.type) + ' ' +
                QByteArray::number(tag.start) + ' ' + QByteArray::number(tag.length - 1) + '\n';
    return file + "##### parameters } #####\n";
}

QByteArray ps_command(const Destination &d, const QString &name)
{
    const QString padded = name.left(psLength).leftJustified(psLength, QLatin1Char(' '));
    if (d.dialect->uecp)
        return uecp_frame({d.uecpSite, d.uecpEncoder},
                          uecp_ps(d.dataSet, d.serviceNumber, rds_characters(padded)));
    return d.dialect->psCommand + encoded_for(d, padded) + d.dialect->lineEnd;
}

QStringList ps_pages_of(const SentText &sent)
{
    return sent.idle && !sent.psName.isEmpty() ? QStringList{sent.psName} : ps_pages(sent.text);
}

SendRequest with_first_page(const Destination &d, const SentText &sent, SendRequest request)
{
    const QStringList pages = d.ps.paging ? ps_pages_of(sent) : QStringList();
    if (!pages.isEmpty())
        request.commands.prepend(ps_command(d, pages.first()));
    return request;
}

SendRequest send_request(const Destination &d, const SentText &sent, const OnAirText &onAir,
                         const QString &id)
{
    SendRequest request;
    request.shown = sent.text;
    const QByteArray bytes = encoded_for(d, sent.text);
    const QByteArray agent = QByteArray("nowplaying-watch/") + programVersion;
    switch (d.kind) {
    case DestinationKind::Icecast: {
        QByteArray query = "mode=updinfo&mount=" + query_value(d.url.path().toUtf8()) +
                           "&song=" + query_value(bytes);
        // Named, Icecast converts from it to the mount's charset (by default
        // ISO-8859-1, where Cyrillic becomes "&#1050;"); unnamed, it passes
        // the bytes on as they are.
        if (d.charsetNamed)
            query += "&charset=" + query_value(d.charset->name());
        request.method = "GET";
        request.url = server_url(d, "/admin/metadata", query);
        request.headers = {{"Authorization", basic_authorization(d.url)}, {"User-Agent", agent}};
        break;
    }
    case DestinationKind::Shoutcast: {
        QByteArray query = "mode=updinfo&pass=" + query_value(d.url.password().toUtf8()) +
                           "&song=" + query_value(bytes);
        if (d.streamId > 0)
            query += "&sid=" + QByteArray::number(d.streamId);
        request.method = "GET";
        request.url = server_url(d, "/admin.cgi", query);
        // Some servers answer nothing but a browser.
        request.headers = {{"User-Agent", "Mozilla/5.0 (compatible; " + agent + ")"}};
        break;
    }
    case DestinationKind::RdsTcp:
    case DestinationKind::RdsUdp:
    case DestinationKind::RdsSerial: {
        const RdsDialect &dialect = *d.dialect;
        // A static name goes with every connection: an encoder that was
        // off has it again as soon as it is back.
        if (!d.ps.paging && !sent.psName.isEmpty())
            request.commands << ps_command(d, sent.psName);
        if (dialect.uecp) {
            request.commands << uecp_frame(
                {d.uecpSite, d.uecpEncoder},
                uecp_radiotext(d.dataSet, d.serviceNumber, rds_characters(sent.text)));
            break;
        }
        request.commands << dialect.textCommand + bytes + dialect.lineEnd;
        if (d.rtPlus) {
            QList<RtPlusTag> tags = rt_plus_tags(sent);
            while (tags.size() < 2)
                tags.append({0, 0, 0}); // RT+'s dummy tag: nothing
            QByteArrayList fields;
            for (const RtPlusTag &tag : tags) {
                const int length =
                    dialect.rtPlusLengthMarker ? qMax(0, tag.length - 1) : tag.length;
                fields << QByteArray::number(tag.type) << QByteArray::number(tag.start)
                       << QByteArray::number(length);
            }
            request.commands << dialect.rtPlusCommand + fields.join(',') + dialect.lineEnd;
        }
        break;
    }
    case DestinationKind::WebHook: {
        request.url = d.url;
        request.headers = {{"User-Agent", agent}};
        if (d.queryTemplate.parts.isEmpty()) {
            request.method = "POST";
            request.body = now_playing_json(onAir, sent, id);
            request.headers.prepend({"Content-Type", "application/json"});
        } else {
            // Listing sites take the now-playing as query parameters.
            request.method = "GET";
            const FilledText query = fill_template(d.queryTemplate, [&](const QString &tag) {
                return QString::fromLatin1(field_of(onAir, tag).toUtf8().toPercentEncoding());
            });
            request.url.setQuery(query.text, QUrl::TolerantMode);
        }
        if (!d.url.userName().isEmpty())
            request.headers.append({"Authorization", basic_authorization(d.url)});
        if (sent.text.isEmpty())
            request.shown = onAir.meta;
        break;
    }
    case DestinationKind::File:
        request.path = d.path;
        request.fileBytes = bytes;
        break;
    case DestinationKind::Mqtt:
        request.url = d.url;
        request.topic = d.topic;
        // What a site that follows the topic takes, whatever the document
        // holds besides the now-playing.
        request.body = now_playing_json(onAir, sent, id, longestFollowedMessage);
        if (sent.text.isEmpty())
            request.shown = onAir.meta;
        break;
    case DestinationKind::Dls:
        request.path = d.path;
        request.fileBytes = dynamic_label_file(sent, d.dlPlus);
        break;
    }
    return request;
}
