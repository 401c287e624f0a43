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
// when it is not today.
QString at(const QJsonValue &value)
{
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toLocalTime();
    if (!time.isValid())
        return QStringLiteral("never");
    return time.toString(time.date() == QDate::currentDate()
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

} // namespace

StatusReport status_report(const QByteArray &statusJson, const QDateTime &now)
{
    const QJsonObject status = QJsonDocument::fromJson(statusJson).object();
    if (!status.contains(QStringLiteral("stations")))
        return {};
    struct Line {
        bool failing;
        QString text;
    };
    QList<Line> lines;
    for (const QJsonValue &value : status.value(QStringLiteral("stations")).toArray()) {
        const QJsonObject station = value.toObject();
        const QString name = text_of(station.value(QStringLiteral("station")));
        const QJsonObject pass = station.value(QStringLiteral("lastPass")).toObject();
        const QString outcome = text_of(pass.value(QStringLiteral("outcome")));
        const QString message = text_of(pass.value(QStringLiteral("message")));
        const bool nothing = text_of(station.value(QStringLiteral("artist"))).isEmpty() &&
                             text_of(station.value(QStringLiteral("title"))).isEmpty();
        const QString onAir =
            nothing ? QStringLiteral("no artist or title on air (destinations get their idle "
                                     "text)")
                    : QStringLiteral("on air \"%1\"")
                          .arg(text_of(station.value(QStringLiteral("meta"))));
        const bool polling =
            text_of(station.value(QStringLiteral("watching"))) == QLatin1String("polling");
        const QJsonObject source = station.value(QStringLiteral("source")).toObject();
        // A site makes no passes: what it has on air came from its studio.
        const QString passed = !source.isEmpty() ? QStringLiteral("follows its studio")
                                                 : QStringLiteral("last pass %1, %2")
                                                       .arg(at(pass.value(QStringLiteral("time"))),
                                                            message.isEmpty() ? outcome : message);
        lines.append(
            {!message.isEmpty() && outcome != QLatin1String("blocked_hour"),
             QStringLiteral("%1: %2; %3 since %4%5")
                 .arg(name, passed, onAir, at(station.value(QStringLiteral("lastWritten"))),
                      polling ? QStringLiteral("; changes looked for, not told: ") +
                                    text_of(station.value(QStringLiteral("watchingWhy")))
                              : QString())});
        if (!source.isEmpty()) {
            const bool connected =
                text_of(source.value(QStringLiteral("broker"))) == QLatin1String("connected");
            const QString studio = text_of(source.value(QStringLiteral("studio")));
            lines.append(
                {!connected || studio == QLatin1String("offline"),
                 QStringLiteral("%1: follows %2: broker %3 since %4%5; studio %6 since "
                                "%7; last message at %8: \"%9\"")
                     .arg(name, text_of(source.value(QStringLiteral("address"))),
                          connected ? QStringLiteral("connected") : QStringLiteral("not connected"),
                          at(source.value(QStringLiteral("since"))),
                          connected ? QString()
                                    : QStringLiteral(" (") +
                                          text_of(source.value(QStringLiteral("brokerError"))) +
                                          QLatin1Char(')'),
                          studio, at(source.value(QStringLiteral("studioSince"))),
                          at(source.value(QStringLiteral("lastMessageAt"))),
                          text_of(source.value(QStringLiteral("lastMessage"))))});
        }
        for (const QJsonValue &item : station.value(QStringLiteral("destinations")).toArray()) {
            const QJsonObject d = item.toObject();
            const QString state = text_of(d.value(QStringLiteral("state")));
            const bool failing = state == QLatin1String("failing");
            QString text = QStringLiteral("%1: %2 %3 %4 since %5")
                               .arg(name, text_of(d.value(QStringLiteral("destination"))),
                                    text_of(d.value(QStringLiteral("address"))), state,
                                    at(d.value(QStringLiteral("since"))));
            if (failing)
                text += QStringLiteral(" (%1)").arg(text_of(d.value(QStringLiteral("lastError"))));
            text += QStringLiteral("; last sent \"%1\" at %2; %3 sends, %4 failed")
                        .arg(text_of(d.value(QStringLiteral("lastDelivered"))),
                             at(d.value(QStringLiteral("lastDeliveredAt"))),
                             QString::number(d.value(QStringLiteral("sends")).toInt()),
                             QString::number(d.value(QStringLiteral("failures")).toInt()));
            lines.append({failing, text});
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Line &a, const Line &b) { return a.failing && !b.failing; });
    // Whether the watcher runs: it says so, and its heartbeat is fresh.
    const QDateTime heartbeat = QDateTime::fromString(
        status.value(QStringLiteral("heartbeat")).toString(), Qt::ISODateWithMs);
    const qint64 silentS = heartbeat.isValid() ? heartbeat.secsTo(now) : -1;
    StatusReport report;
    if (text_of(status.value(QStringLiteral("state"))) == QLatin1String("stopped"))
        report.text = QStringLiteral("STOPPED the watcher stopped at %1\n")
                          .arg(at(status.value(QStringLiteral("stopped"))));
    else if (!heartbeat.isValid() || silentS * 1000 > deadAfterMs)
        report.text = QStringLiteral("DEAD    the watcher is not running: it has not written "
                                     "this file for %1 s (since %2)\n")
                          .arg(silentS < 0 ? QStringLiteral("?") : QString::number(silentS),
                               at(status.value(QStringLiteral("heartbeat"))));
    // A file read on another machine, or after the clock was set back: a
    // heartbeat a little ahead is the clocks differing, not a dead watcher;
    // far ahead, it says nothing of whether the watcher still writes.
    else if (-silentS * 1000 > deadAfterMs)
        report.text =
            QStringLiteral("DEAD    cannot tell whether the watcher runs: its heartbeat "
                           "(%1) is %2 s ahead of this machine's clock\n")
                .arg(at(status.value(QStringLiteral("heartbeat"))), QString::number(-silentS));
    else
        report.text = QStringLiteral("ok      the watcher is running (heartbeat %1 s ago)\n")
                          .arg(QString::number(qMax<qint64>(0, silentS)));
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
