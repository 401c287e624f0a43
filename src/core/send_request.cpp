// SPDX-License-Identifier: MIT
#include "send_request.h"

#include "conversion.h"
#include "text_file.h"
#include "version.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextCodec>
#include <QUrlQuery>

namespace {

// The first `count` characters of `text`, pairs kept whole.
QString first_characters(const QString &text, int count)
{
    const QVector<uint> ucs4 = text.toUcs4();
    return QString::fromUcs4(ucs4.constData(), qMin(count, int(ucs4.size())));
}

// Cut at the last blank that lets the text fit, or hard at the limit.
QString cut_to(const QString &text, int limit)
{
    if (character_count(text) <= limit)
        return text;
    const QString head = first_characters(text, limit + 1);
    const int blank = int(head.lastIndexOf(QLatin1Char(' ')));
    if (blank > 0)
        return head.left(blank).trimmed();
    return first_characters(text, limit);
}

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

} // namespace

SentText sent_text(const Destination &destination, const OnAirText &onAir)
{
    const bool rds = destination.text == DestinationText::Rds;
    SentText sent{rds ? onAir.latinArtist : onAir.artist,
                  rds ? onAir.rdsSplitter : onAir.metaSplitter,
                  rds ? onAir.latinTitle : onAir.title, QString()};
    if (sent.artist.isEmpty() || sent.title.isEmpty())
        sent.splitter.clear();
    sent.text = sent.artist + sent.splitter + sent.title;
    if (destination.kind == DestinationKind::RdsTcp || destination.kind == DestinationKind::RdsUdp)
        sent.text = cut_to(sent.text, radioTextLength);
    return sent;
}

QList<RtPlusTag> rt_plus_tags(const SentText &sent)
{
    QList<RtPlusTag> tags;
    const int length = character_count(sent.text);
    const int artist = character_count(sent.artist);
    const int titleStart = artist + character_count(sent.splitter);
    const auto add = [&](int type, int start, int size) {
        const int kept = qMin(size, length - start);
        if (size > 0 && kept > 0)
            tags.append({type, start, kept});
    };
    add(4, 0, artist);
    add(1, titleStart, character_count(sent.title));
    return tags;
}

SendRequest send_request(const Destination &d, const SentText &sent, const OnAirText &onAir)
{
    SendRequest request;
    request.shown = sent.text;
    const QByteArray bytes = encode_text(sent.text, d.charset);
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
    case DestinationKind::RdsUdp: {
        const RdsDialect &dialect = *d.dialect;
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
        const QJsonObject object{{QStringLiteral("artist"), onAir.artist},
                                 {QStringLiteral("title"), onAir.title},
                                 {QStringLiteral("meta"), onAir.meta},
                                 {QStringLiteral("rds"), onAir.rds},
                                 {QStringLiteral("time"), onAir.time.toString(Qt::ISODateWithMs)}};
        request.method = "POST";
        request.url = d.url;
        request.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
        request.headers = {{"Content-Type", "application/json"}, {"User-Agent", agent}};
        if (!d.url.userName().isEmpty())
            request.headers.append({"Authorization", basic_authorization(d.url)});
        request.shown = onAir.meta;
        break;
    }
    }
    return request;
}

Verdict judge_http_reply(const Destination &destination, int status, const QByteArray &body)
{
    const QString text = QString::fromUtf8(body.left(300)).simplified();
    if (status == 0)
        return {false, QStringLiteral("no HTTP reply")};
    const QString answer = QStringLiteral("HTTP %1 \"%2\"").arg(status).arg(text);
    if (destination.kind == DestinationKind::Icecast) {
        static const QRegularExpression message(QStringLiteral("<message>([^<]*)</message>"));
        const QString said = message.match(QString::fromUtf8(body)).captured(1);
        return {status == 200 && said == QLatin1String("Metadata update successful"), answer};
    }
    if (destination.kind == DestinationKind::WebHook)
        return {status >= 200 && status < 300, answer};
    return {status == 200, answer};
}

Verdict judge_rds_reply(const RdsDialect &dialect, const QByteArray &line)
{
    const QByteArray reply = line.trimmed().toUpper();
    const QString answer = QStringLiteral("\"%1\"").arg(QString::fromLatin1(line.trimmed()));
    if (QByteArray(dialect.done).split(' ').contains(reply))
        return {true, answer};
    if (QByteArray(dialect.refused).split(' ').contains(reply))
        return {false, QStringLiteral("refused: ") + answer};
    return {false, QStringLiteral("unexpected reply: ") + answer};
}
