// SPDX-License-Identifier: MIT
#include "follower.h"

#include "now_playing_message.h"

Follower::Follower(const FollowSource &source, LogSink sink, QObject *parent)
    : QObject(parent), source_(source), log_(std::move(sink))
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Follower::connect_to_broker);
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this]() {
        log(QStringLiteral("the studio has been offline for %1 s: its idle text, where a "
                           "destination has one")
                .arg(source_.idleAfterMs / 1000.0));
        emit studioGone();
    });
    connect_to_broker();
}

void Follower::connect_to_broker()
{
    MqttClient::Options options;
    options.host = source_.broker.host;
    options.port = source_.broker.port;
    options.user = source_.broker.user;
    options.password = source_.broker.password;
    options.tls = source_.broker.tls;
    options.caFile = source_.broker.caFile;
    client_ = std::make_unique<MqttClient>(options);
    connect(client_.get(), &MqttClient::connected, this, [this]() {
        if (failures_ > 0)
            log(QStringLiteral("back after %1 failed attempts").arg(failures_));
        failures_ = 0;
        backoff_.reset();
        client_->subscribe(source_.broker.topic);
        client_->subscribe(source_.broker.topic + QStringLiteral("/status"));
    });
    connect(client_.get(), &MqttClient::failed, this, [this](const QString &reason, bool refused) {
        client_.release()->deleteLater();
        const int pause = refused ? 60000 : backoff_.next();
        if (failures_++ == 0)
            log(QStringLiteral("%1%2; trying again in %3 s, and logging only when it is back")
                    .arg(refused ? QStringLiteral("the password is refused: ") : QString(), reason)
                    .arg(pause / 1000));
        retry_.start(pause);
    });
    connect(client_.get(), &MqttClient::message, this, &Follower::message);
    client_->open();
}

void Follower::message(const QString &topic, const QByteArray &payload)
{
    if (topic == source_.broker.topic + QStringLiteral("/status")) {
        const bool offline = payload == "offline";
        if (offline && !offline_) {
            log(QStringLiteral("the studio is offline: keeping \"%1\"").arg(lastText_));
            if (source_.idleAfterMs > 0)
                idle_.start(source_.idleAfterMs);
        } else if (!offline && offline_) {
            log(QStringLiteral("the studio is online again"));
            idle_.stop();
        }
        offline_ = offline;
        return;
    }
    const std::optional<OnAirText> onAir = now_playing_from_json(payload);
    if (!onAir) {
        log(QStringLiteral("a message that is not the now-playing, left aside"));
        return;
    }
    lastText_ = onAir->meta;
    emit nowPlaying(*onAir);
}

void Follower::log(const QString &line) const
{
    log_(QStringLiteral("FOLLOW ") + source_.shown + QStringLiteral(": ") + line);
}
