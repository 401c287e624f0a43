// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;
struct mosquitto;

// One connection to an MQTT broker through libmosquitto, driven by this
// thread's Qt event loop: its socket watched by QSocketNotifier, its
// keep-alive by a QTimer. It never blocks but for resolving a host name.
// With a status topic, the broker holds "online" there (retained) while the
// connection lives, and publishes "offline" (retained, the connection's last
// will) when it ends in any way, the process killed included.
class MqttClient : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString host;
        int port = 1883;
        QString user;
        QString password;
        bool tls = false;
        QString caFile;      // for TLS: a private CA; empty: the system's CAs
        QString statusTopic; // empty: none
        int keepAliveS = 30;
        // Above 0: a message with a longer payload is not taken (oversized
        // follows instead of message), nor copied.
        int maxPayloadBytes = 0;
    };

    // Whether this build can speak MQTT at all (it was built with libmosquitto).
    static bool available();
    // Whether it can speak MQTT over TLS (libmosquitto was built with it).
    static bool tls_available();

    explicit MqttClient(const Options &options, QObject *parent = nullptr);
    // Says "offline" on the status topic and disconnects.
    ~MqttClient() override;

    // Starts connecting; `connected` or `failed` follows. After `failed`
    // the client does nothing more: its owner makes a new one to try again.
    // With TLS asked for and not to be set up (a CA file that cannot be
    // read, a build without TLS), it fails without connecting: nothing is
    // ever sent in clear.
    void open();
    bool is_connected() const
    {
        return connected_;
    }
    // Publishes once connected; the message id, or -1 when it cannot be
    // queued. `published` follows when the broker has it (QoS 1).
    int publish(const QString &topic, const QByteArray &payload, int qos, bool retain);
    void subscribe(const QString &topic);

signals:
    void connected();
    // The connection could not be made, or ended; `passwordRefused` when the
    // broker refused the user or password.
    void failed(const QString &reason, bool passwordRefused);
    void published(int messageId);
    void message(const QString &topic, const QByteArray &payload);
    // A message longer than maxPayloadBytes came and was left aside.
    void oversized(const QString &topic, qint64 bytes);

private:
    void watch_socket();
    void drop_notifiers();
    void fail(const QString &reason, bool passwordRefused = false);

    static void on_connect(mosquitto *, void *self, int code);
    static void on_disconnect(mosquitto *, void *self, int code);
    static void on_publish(mosquitto *, void *self, int messageId);
    static void on_message(mosquitto *, void *self, const struct mosquitto_message *message);

    Options options_;
    mosquitto *mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    QTimer misc_;
    QString tlsError_;  // why TLS cannot be set up; empty when it can (or is not asked for)
    bool open_ = false; // between open() and the failure
    bool connected_ = false;
};
