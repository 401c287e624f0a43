// SPDX-License-Identifier: MIT
#pragma once

#include "backoff.h"
#include "destination.h"
#include "log_sink.h"
#include "mqtt_client.h"
#include "on_air_text.h"

#include <QObject>
#include <QTimer>

#include <memory>

// A site that follows its studio (FOLLOW): the now-playing taken from the
// studio's MQTT topic instead of from passes. A retained message brings the
// current text at once, and again after each reconnect. A broker that is
// down is tried again with a pause growing from 1 s to 60 s, logged once
// when it starts failing and once when it is back. When the studio's status
// turns "offline", the last text stays, that is logged once, and after
// idle-after= the site is told the studio is gone.
class Follower : public QObject {
    Q_OBJECT
public:
    Follower(const FollowSource &source, LogSink sink, QObject *parent = nullptr);

signals:
    // What the studio put on air (the site adds its Latin forms and
    // splitters).
    void nowPlaying(const OnAirText &onAir);
    // The studio has been offline for idle-after: time for the idle text.
    void studioGone();

private:
    void connect_to_broker();
    void message(const QString &topic, const QByteArray &payload);
    void log(const QString &line) const;

    FollowSource source_;
    LogSink log_;
    std::unique_ptr<MqttClient> client_;
    Backoff backoff_{1000, 60000};
    QTimer retry_;
    QTimer idle_;
    int failures_ = 0;
    bool offline_ = false;
    QString lastText_;
};
