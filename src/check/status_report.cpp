// SPDX-License-Identifier: MIT
#include "status_report.h"

#include "destination_status.h"

#include "on_air_text.h"
#include "outside_text.h"
#include "shown_address.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace {

// A time as it is read at a glance: the local time of day, the date too
// when it is not the day of `now`.
QString at(const QJsonValue &value, const QDateTime &now)
{
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toLocalTime();
    if (!time.isValid())
        return QStringLiteral("never");
    return time.toString(time.date() == now.toLocalTime().date()
                             ? QStringLiteral("HH:mm:ss")
                             : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A text of the file as one clean line, no secret of an address shown: a
// status file is written by a watcher, but what it holds came from
// documents and peers, and a file from an older version or edited by hand
// may hold a password its watcher would hide.
QString text_of(const QJsonValue &value)
{
    return within_utf8_bytes(without_secrets(on_air_value(value.toString())));
}

QString text_of(const QJsonObject &object, const char *key)
{
    return text_of(object.value(QLatin1String(key)));
}

struct Line {
    bool failing;
    QString text;
};

// A station's own line: its last pass (a site makes none: what it has on
// air came from its studio) and what is on air.
Line station_line(const QString &name, const QJsonObject &station, const QDateTime &now)
{
    const QJsonObject pass = station.value(QStringLiteral("lastPass")).toObject();
    const QString outcome = text_of(pass, "outcome");
    const QString message = text_of(pass, "message");
    const bool nothing =
        text_of(station, "artist").isEmpty() && text_of(station, "title").isEmpty();
    const QString onAir =
        nothing ? QStringLiteral("no artist or title on air (destinations get their idle text)")
                : QStringLiteral("on air \"%1\"").arg(text_of(station, "meta"));
    const bool polling = text_of(station, "watching") == QLatin1String("polling");
    const bool site = !station.value(QStringLiteral("source")).toObject().isEmpty();
    const QString passed = site ? QStringLiteral("follows its studio")
                                : QStringLiteral("last pass %1, %2")
                                      .arg(at(pass.value(QStringLiteral("time")), now),
                                           message.isEmpty() ? outcome : message);
    return {!message.isEmpty() && outcome != QLatin1String("blocked_hour"),
            QStringLiteral("%1: %2; %3 since %4%5")
                .arg(name, passed, onAir, at(station.value(QStringLiteral("lastWritten")), now),
                     polling ? QStringLiteral("; changes looked for, not told: ") +
                                   text_of(station, "watchingWhy")
                             : QString())};
}

// A site's source: its broker and its studio.
Line source_line(const QString &name, const QJsonObject &source, const QDateTime &now)
{
    const bool connected = text_of(source, "broker") == QLatin1String("connected");
    const QString studio = text_of(source, "studio");
    return {!connected || studio == QLatin1String("offline"),
            QStringLiteral("%1: follows %2: broker %3 since %4%5; studio %6 since %7; last "
                           "message at %8: \"%9\"")
                .arg(name, text_of(source, "address"),
                     connected ? QStringLiteral("connected") : QStringLiteral("not connected"),
                     at(source.value(QStringLiteral("since")), now),
                     connected
                         ? QString()
                         : QStringLiteral(" (") + text_of(source, "brokerError") + QLatin1Char(')'),
                     studio, at(source.value(QStringLiteral("studioSince")), now),
                     at(source.value(QStringLiteral("lastMessageAt")), now),
                     text_of(source, "lastMessage"))};
}

Line destination_line(const QString &name, const QJsonObject &d, const QDateTime &now)
{
    const QString state = text_of(d, "state");
    const bool failing = state == QLatin1String("failing");
    QString text = QStringLiteral("%1: %2 %3 %4 since %5")
                       .arg(name, text_of(d, "destination"), text_of(d, "address"), state,
                            at(d.value(QStringLiteral("since")), now));
    if (failing)
        text += QStringLiteral(" (%1)").arg(text_of(d, "lastError"));
    text +=
        QStringLiteral("; last sent \"%1\" at %2; %3 sends, %4 failed")
            .arg(text_of(d, "lastDelivered"), at(d.value(QStringLiteral("lastDeliveredAt")), now),
                 QString::number(d.value(QStringLiteral("sends")).toInt()),
                 QString::number(d.value(QStringLiteral("failures")).toInt()));
    return {failing, text};
}

// Whether the watcher runs: it says so, and its heartbeat is fresh.
QString watcher_line(const QJsonObject &status, const QDateTime &now)
{
    const QDateTime heartbeat = QDateTime::fromString(
        status.value(QStringLiteral("heartbeat")).toString(), Qt::ISODateWithMs);
    const qint64 silentS = heartbeat.isValid() ? heartbeat.secsTo(now) : -1;
    const QString beat = at(status.value(QStringLiteral("heartbeat")), now);
    if (text_of(status, "state") == QLatin1String("stopped"))
        return QStringLiteral("STOPPED the watcher stopped at %1\n")
            .arg(at(status.value(QStringLiteral("stopped")), now));
    if (!heartbeat.isValid() || silentS * 1000 > deadAfterMs)
        return QStringLiteral("DEAD    the watcher is not running: it has not written this file "
                              "for %1 s (since %2)\n")
            .arg(silentS < 0 ? QStringLiteral("?") : QString::number(silentS), beat);
    // A file read on another machine, or after the clock was set back: a
    // heartbeat a little ahead is the clocks differing, not a dead watcher;
    // far ahead, it says nothing of whether the watcher still writes.
    if (-silentS * 1000 > deadAfterMs)
        return QStringLiteral("DEAD    cannot tell whether the watcher runs: its heartbeat (%1) "
                              "is %2 s ahead of this machine's clock\n")
            .arg(beat, QString::number(-silentS));
    return QStringLiteral("ok      the watcher is running (heartbeat %1 s ago)\n")
        .arg(QString::number(qMax<qint64>(0, silentS)));
}

} // namespace

StatusReport status_report(const QByteArray &statusJson, const QDateTime &now)
{
    const QJsonObject status = QJsonDocument::fromJson(statusJson).object();
    if (!status.contains(QStringLiteral("stations")))
        return {};
    QList<Line> lines;
    for (const QJsonValue &value : status.value(QStringLiteral("stations")).toArray()) {
        const QJsonObject station = value.toObject();
        const QString name = text_of(station, "station");
        lines.append(station_line(name, station, now));
        const QJsonObject source = station.value(QStringLiteral("source")).toObject();
        if (!source.isEmpty())
            lines.append(source_line(name, source, now));
        for (const QJsonValue &item : station.value(QStringLiteral("destinations")).toArray())
            lines.append(destination_line(name, item.toObject(), now));
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line &a, const Line &b) { return a.failing && !b.failing; });
    StatusReport report;
    report.text = watcher_line(status, now);
    const bool alive = report.text.startsWith(QLatin1String("ok"));
    bool failing = false;
    for (const Line &line : lines) {
        report.text += (line.failing ? QStringLiteral("FAILING ") : QStringLiteral("ok      ")) +
                       line.text + QLatin1Char('\n');
        failing = failing || line.failing;
    }
    report.exitStatus = !alive ? 2 : failing ? 1 : 0;
    return report;
}
