// SPDX-License-Identifier: MIT
#include "follower.h"

#include "now_playing_message.h"
#include "outside_text.h"

bool drop_backlog(int messages, qint64 burstMs)
{
    return messages >= 50 && burstMs >= 2000;
}

int take_wait_ms(qint64 nowMs, qint64 lastTakenMs, int everyMs)
{
    if (lastTakenMs < 0)
        return 0;
    return int(qBound(qint64(0), lastTakenMs + everyMs - nowMs, qint64(everyMs)));
}

Follower::Follower(const FollowSource &source, LogSink sink, SteadyClock clock, QObject *parent)
    : QObject(parent), source_(source), log_(std::move(sink)), clock_(std::move(clock))
{
    status_.address = source_.shown;
    status_.since = QDateTime::currentDateTime();
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &Follower::connect_to_broker);
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this]() {
        log(QStringLiteral("%1 for %2 s: its idle text, where a destination has one")
                .arg(status_.connected ? QStringLiteral("the studio has been offline")
                                       : QStringLiteral("the broker has been out of reach"),
                     QString::number(source_.idleAfterMs / 1000.0)));
        emit studioGone();
    });
    offlineConfirm_.setSingleShot(true);
    connect(&offlineConfirm_, &QTimer::timeout, this, [this]() {
        status_.studio = QStringLiteral("offline");
        status_.studioSince = QDateTime::currentDateTime();
        report();
        gone_for_now(QStringLiteral("the studio is offline"));
    });
    take_.setSingleShot(true);
    connect(&take_, &QTimer::timeout, this, &Follower::take_newest);
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &Follower::settled);
    report();
    connect_to_broker();
}

void Follower::report()
{
    emit sourceChanged(status_);
}

// The studio's text stays; idle-after later, the idle text.
void Follower::gone_for_now(const QString &what)
{
    log(QStringLiteral("%1: keeping \"%2\"%3")
            .arg(what, lastText_,
                 source_.idleAfterMs > 0 ? QStringLiteral(", the idle text after %1 s")
                                               .arg(QString::number(source_.idleAfterMs / 1000.0))
                                         : QString()));
    if (source_.idleAfterMs > 0 && !idle_.isActive())
        idle_.start(source_.idleAfterMs);
}

void Follower::connect_to_broker()
{
    MqttClient::Options options = client_options(source_.broker);
    options.maxPayloadBytes = longestFollowedMessage;
    client_ = std::make_unique<MqttClient>(options);
    connect(client_.get(), &MqttClient::connected, this, [this]() {
        if (failures_ > 0)
            log(QStringLiteral("the broker is back after %1 failed attempts")
                    .arg(QString::number(failures_)));
        failures_ = 0;
        backoff_.reset();
        // A studio that was offline before the broker went away still is:
        // its idle text stays due. Otherwise the studio's "online" (or
        // its silence, for one that tells no status) is waited for.
        if (status_.studio != QLatin1String("offline"))
            idle_.stop();
        status_.connected = true;
        status_.since = QDateTime::currentDateTime();
        status_.brokerError.clear();
        report();
        client_->subscribe(source_.broker.topic);
        client_->subscribe(source_.broker.topic + QStringLiteral("/status"));
    });
    connect(client_.get(), &MqttClient::failed, this, &Follower::broker_failed);
    connect(client_.get(), &MqttClient::message, this, &Follower::message);
    connect(client_.get(), &MqttClient::oversized, this, [this](const QString &, qint64 bytes) {
        left_aside(
            QStringLiteral("it has %1 bytes, more than %2 KiB")
                .arg(QString::number(bytes), QString::number(longestFollowedMessage / 1024)));
        counted();
    });
    client_->open();
}

void Follower::broker_failed(const QString &reason, bool refused)
{
    client_.release()->deleteLater();
    // An "offline" that came with the broker's going is the broker's.
    const bool withTheBroker = offlineConfirm_.isActive();
    offlineConfirm_.stop();
    const bool wasConnected = status_.connected;
    status_.connected = false;
    status_.since = QDateTime::currentDateTime();
    status_.brokerError = quoted_reply(reason);
    report();
    const int pause = refused ? 60000 : backoff_.next();
    if (failures_++ == 0) {
        log(QStringLiteral("%1%2; trying again in %3 s, and logging only when it is back")
                .arg(refused ? QStringLiteral("the password is refused: ") : QString(),
                     quoted_reply(reason), QString::number(pause / 1000.0)));
        if (wasConnected || withTheBroker)
            gone_for_now(QStringLiteral("the broker is out of reach (not the studio)"));
    }
    retry_.start(pause);
}

void Follower::status_message(const QByteArray &payload)
{
    if (payload == "offline") {
        // Told once it is clear that the broker stays.
        if (status_.studio != QLatin1String("offline") && !offlineConfirm_.isActive())
            offlineConfirm_.start(offlineConfirmMs);
        return;
    }
    offlineConfirm_.stop();
    if (payload != "online")
        return;
    if (status_.studio == QLatin1String("offline"))
        log(QStringLiteral("the studio is online again"));
    idle_.stop();
    if (status_.studio != QLatin1String("online")) {
        status_.studio = QStringLiteral("online");
        status_.studioSince = QDateTime::currentDateTime();
        report();
    }
}

void Follower::message(const QString &topic, const QByteArray &payload)
{
    if (topic == source_.broker.topic + QStringLiteral("/status")) {
        status_message(payload);
        return;
    }
    // Only the newest of a burst is read; the others cost a copy each.
    newest_ = payload;
    waiting_ = true;
    if (!take_.isActive())
        take_.start(take_wait_ms(clock_(), lastTakenAt_, takeEveryMs));
    counted();
}

// One more message of the current burst; a burst that goes on drops what
// the broker has queued for the site.
void Follower::counted()
{
    const qint64 now = clock_();
    if (burst_++ == 0)
        burstSince_ = now;
    settle_.start(settleMs);
    if (!drop_backlog(burst_, now - burstSince_) || !client_ || !client_->is_connected())
        return;
    if (!backlogLogged_)
        log(QStringLiteral("%1 messages in %2 s: connecting anew to drop what the broker has "
                           "queued, and taking the current text")
                .arg(QString::number(burst_), QString::number((now - burstSince_) / 1000.0)));
    backlogLogged_ = true;
    burst_ = 0;
    // (This may run inside the old connection's own reading.)
    MqttClient *old = client_.release();
    old->disconnect(this);
    old->deleteLater();
    connect_to_broker();
}

void Follower::take_newest()
{
    if (!waiting_)
        return;
    waiting_ = false;
    lastTakenAt_ = clock_();
    const FollowedMessage read = read_now_playing(newest_);
    newest_.clear();
    if (!read.onAir) {
        left_aside(read.refusal);
        return;
    }
    if (leftAside_)
        log(QStringLiteral("a now-playing message again"));
    leftAside_ = false;
    lastText_ = read.onAir->meta;
    status_.lastMessageAt = QDateTime::currentDateTime();
    status_.lastMessage = lastText_;
    report();
    emit nowPlaying(*read.onAir);
}

void Follower::left_aside(const QString &why)
{
    if (!leftAside_)
        log(QStringLiteral("a message that is not the now-playing, left aside (%1); keeping "
                           "\"%2\", and logging only when one is taken again")
                .arg(why, lastText_));
    leftAside_ = true;
}

// The topic has been quiet since a burst: the broker may have dropped the
// newest messages for a site that fell behind, and a new subscription is
// given the retained one.
void Follower::settled()
{
    const bool burst = burst_ > 2;
    burst_ = 0;
    backlogLogged_ = false;
    if (burst && client_ && client_->is_connected())
        client_->subscribe(source_.broker.topic);
}

void Follower::log(const QString &line) const
{
    log_(QStringLiteral("FOLLOW ") + source_.shown + QStringLiteral(": ") + line);
}
