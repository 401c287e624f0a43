// SPDX-License-Identifier: MIT
#include "status_file.h"

#include "outside_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue time_value(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue::Null;
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// A text field, bounded whatever a peer sent.
QJsonValue text(const QString &value)
{
    return within_utf8_bytes(value);
}

QJsonObject destination_json(const DestinationStatus &d)
{
    return {{QStringLiteral("destination"), text(d.tag)},
            {QStringLiteral("address"), text(d.shown)},
            {QStringLiteral("state"), text(d.state)},
            {QStringLiteral("since"), time_value(d.since)},
            {QStringLiteral("lastDelivered"), text(d.lastDelivered)},
            {QStringLiteral("lastDeliveredAt"), time_value(d.lastDeliveredAt)},
            {QStringLiteral("lastError"), text(d.lastError)},
            {QStringLiteral("sends"), d.sends},
            {QStringLiteral("failures"), d.failures}};
}

QJsonObject source_json(const SourceStatus &s)
{
    return {{QStringLiteral("address"), text(s.address)},
            {QStringLiteral("broker"),
             s.connected ? QStringLiteral("connected") : QStringLiteral("disconnected")},
            {QStringLiteral("since"), time_value(s.since)},
            {QStringLiteral("brokerError"), text(s.brokerError)},
            {QStringLiteral("studio"), s.studio},
            {QStringLiteral("studioSince"), time_value(s.studioSince)},
            {QStringLiteral("lastMessageAt"), time_value(s.lastMessageAt)},
            {QStringLiteral("lastMessage"), text(s.lastMessage)}};
}

} // namespace

QString status_json(const WatcherState &state)
{
    QJsonArray stations;
    for (const StationState &station : state.stations) {
        QJsonArray destinations;
        for (const auto &entry : station.destinations)
            destinations.append(destination_json(entry.second));
        QJsonObject object{{QStringLiteral("station"), text(station.name)},
                           {QStringLiteral("folder"), text(station.folder)},
                           {QStringLiteral("watching"), station.polling
                                                            ? QStringLiteral("polling")
                                                            : QStringLiteral("notified")},
                           {QStringLiteral("watchingWhy"), text(station.pollingWhy)},
                           {QStringLiteral("lastPass"),
                            QJsonObject{{QStringLiteral("time"), time_value(station.lastPass)},
                                        {QStringLiteral("outcome"), text(station.lastOutcome)},
                                        {QStringLiteral("message"), text(station.lastMessage)}}},
                           {QStringLiteral("lastWritten"), time_value(station.lastWritten)},
                           {QStringLiteral("artist"), text(station.artist)},
                           {QStringLiteral("title"), text(station.title)},
                           {QStringLiteral("meta"), text(station.meta)},
                           {QStringLiteral("rds"), text(station.rds)},
                           {QStringLiteral("destinations"), destinations}};
        if (station.source)
            object.insert(QStringLiteral("source"), source_json(*station.source));
        stations.append(object);
    }
    const QJsonObject status{{QStringLiteral("version"), state.version},
                             {QStringLiteral("state"), state.running ? QStringLiteral("running")
                                                                     : QStringLiteral("stopped")},
                             {QStringLiteral("started"), time_value(state.started)},
                             {QStringLiteral("heartbeat"), time_value(state.heartbeat)},
                             {QStringLiteral("updated"), time_value(state.heartbeat)},
                             {QStringLiteral("stopped"), time_value(state.stopped)},
                             {QStringLiteral("stations"), stations}};
    return QString::fromUtf8(QJsonDocument(status).toJson(QJsonDocument::Indented));
}
