// SPDX-License-Identifier: MIT
#include "status_report.h"

#include "on_air_text.h"
#include "outside_text.h"

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

// A text of the file as one clean line: a status file is written by a
// watcher, but what it holds came from documents and peers.
QString text_of(const QJsonValue &value)
{
    return within_utf8_bytes(on_air_value(value.toString()));
}

} // namespace

QString status_text(const QByteArray &statusJson)
{
    const QJsonObject status = QJsonDocument::fromJson(statusJson).object();
    if (!status.contains(QStringLiteral("stations")))
        return QString();
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
        lines.append({!message.isEmpty() && outcome != QLatin1String("blocked_hour"),
                      QStringLiteral("%1: last pass %2, %3; on air \"%4\" since %5")
                          .arg(name, at(pass.value(QStringLiteral("time"))),
                               message.isEmpty() ? outcome : message,
                               text_of(station.value(QStringLiteral("meta"))),
                               at(station.value(QStringLiteral("lastWritten"))))});
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
    QString out;
    for (const Line &line : lines)
        out += (line.failing ? QStringLiteral("FAILING ") : QStringLiteral("ok      ")) +
               line.text + QLatin1Char('\n');
    return out;
}
