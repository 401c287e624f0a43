// SPDX-License-Identifier: MIT
#pragma once

#include "backoff.h"
#include "clock.h"
#include "destination.h"
#include "log_sink.h"
#include "mqtt_client.h"
#include "on_air_text.h"
#include "watcher_state.h"

#include <QObject>
#include <QTimer>

#include <memory>

// A site that follows its studio (FOLLOW): the now-playing taken from the
// studio's MQTT topic instead of from passes. A retained message brings the
// current text at once, and again after each reconnect.
//
// The broker and the studio are told apart. A broker that is not reachable
// is tried again after a pause of at most longestBrokerPauseMs (a
// connection is cheap to try, and the site must be back within moments of
// the broker), 60 s for a refused password, logged once when it starts
// failing and once when it is back. When the studio's status turns
// "offline", that is taken as the studio's own only once the connection
// has stayed up for offlineConfirmMs: a broker going away publishes the
// studio's last will as it goes. Either way the site keeps its last text,
// and after idle-after= it is told the studio is gone (time for the idle
// text).
//
// What comes from the topic is hostile until read: a message longer than
// longestFollowedMessage is not taken, nor one that is not the shape the
// studio publishes (read_now_playing); either is logged once per streak,
// and the site keeps its last good text. A burst of messages is taken at
// most every takeEveryMs, the newest each time, and once the topic has
// been quiet for settleMs after a burst the topic is subscribed to again:
// the broker then gives the retained (current) message, which it may have
// dropped for a site that fell behind. A burst that goes on (drop_backlog)
// has the site connect anew, in a clean session: what the broker had
// queued for it is dropped, and the retained message comes at once.
class Follower : public QObject {
    Q_OBJECT
public:
    Follower(const FollowSource &source, LogSink sink, SteadyClock clock = system_steady_clock(),
             QObject *parent = nullptr);

    static constexpr int takeEveryMs = 100;
    static constexpr int settleMs = 500;
    static constexpr int longestBrokerPauseMs = 2000;
    static constexpr int offlineConfirmMs = 2000;

signals:
    // What the studio put on air (the site adds its Latin forms and
    // splitters).
    void nowPlaying(const OnAirText &onAir);
    // The studio (or the broker) has been gone for idle-after: time for the
    // idle text.
    void studioGone();
    // Broker connected or not, the studio online or offline, the last
    // message taken.
    void sourceChanged(const SourceStatus &status);

private:
    void connect_to_broker();
    void broker_failed(const QString &reason, bool refused);
    void status_message(const QByteArray &payload);
    void counted();
    void message(const QString &topic, const QByteArray &payload);
    void take_newest();
    void left_aside(const QString &why);
    void settled();
    void gone_for_now(const QString &what);
    void report();
    void log(const QString &line) const;

    FollowSource source_;
    LogSink log_;
    SteadyClock clock_;
    std::unique_ptr<MqttClient> client_;
    Backoff backoff_{500, longestBrokerPauseMs};
    QTimer retry_;
    QTimer idle_;           // after idle-after of the studio (or broker) gone
    QTimer offlineConfirm_; // the studio's "offline", unless the broker goes too
    int failures_ = 0;
    QString lastText_;
    SourceStatus status_;

    QByteArray newest_;          // the newest now-playing message not yet taken
    bool waiting_ = false;       // newest_ waits to be taken
    QTimer take_;                // when the newest is taken
    qint64 lastTakenAt_ = -1;    // on clock_
    int burst_ = 0;              // messages since the topic was last quiet
    qint64 burstSince_ = 0;      // on clock_: when that burst began
    bool backlogLogged_ = false; // the burst's dropped backlog is logged once
    QTimer settle_;              // the topic has been quiet for settleMs
    bool leftAside_ = false;     // the last message was left aside (a streak is logged once)
};

// Whether a burst of `messages` over `burstMs` has a site behind what its
// broker queues for it (a studio publishes once a track): 50 messages or
// more for 2 s or longer.
bool drop_backlog(int messages, qint64 burstMs);

// How long a message that came at `nowMs` waits before it is taken, when
// the last was taken at `lastTakenMs` (-1: none yet): at once, unless one
// was taken less than `everyMs` ago.
int take_wait_ms(qint64 nowMs, qint64 lastTakenMs, int everyMs);
