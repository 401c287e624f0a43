// SPDX-License-Identifier: MIT
#include "mqtt_client.h"

#include <QSocketNotifier>
#include <QUuid>

#ifdef NOWPLAYING_MQTT
#include <mosquitto.h>

#include <mutex>
#endif

namespace {

const QByteArray online = "online";
const QByteArray offline = "offline";

} // namespace

#ifdef NOWPLAYING_MQTT

namespace {

void lib_init()
{
    static std::once_flag initialised;
    std::call_once(initialised, []() { mosquitto_lib_init(); });
}

} // namespace

bool MqttClient::available()
{
    return true;
}

bool MqttClient::tls_available()
{
    lib_init();
    mosquitto *probe = mosquitto_new(nullptr, true, nullptr);
    const bool tls = probe && mosquitto_int_option(probe, MOSQ_OPT_TLS_USE_OS_CERTS, 1) !=
                                  MOSQ_ERR_NOT_SUPPORTED;
    mosquitto_destroy(probe);
    return tls;
}

MqttClient::MqttClient(const Options &options, QObject *parent) : QObject(parent), options_(options)
{
    lib_init();
    // A client id of its own: two watchers must not throw each other off.
    const QByteArray id = "nowplaying-" + QUuid::createUuid().toByteArray(QUuid::Id128).left(16);
    mosq_ = mosquitto_new(id.constData(), true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MqttClient::on_connect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::on_disconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::on_publish);
    mosquitto_message_callback_set(mosq_, &MqttClient::on_message);
    if (!options_.user.isEmpty())
        mosquitto_username_pw_set(
            mosq_, options_.user.toUtf8().constData(),
            options_.password.isEmpty() ? nullptr : options_.password.toUtf8().constData());
    if (!options_.statusTopic.isEmpty())
        mosquitto_will_set(mosq_, options_.statusTopic.toUtf8().constData(), offline.size(),
                           offline.constData(), 1, true);
    if (options_.tls) {
        // Whatever stands in the way of TLS makes the client unusable: it
        // must never connect without.
        const QByteArray caFile = options_.caFile.toLocal8Bit();
        const int rc = caFile.isEmpty() ? mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                                        : mosquitto_tls_set(mosq_, caFile.constData(), nullptr,
                                                            nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_NOT_SUPPORTED)
            tlsError_ = QStringLiteral("TLS cannot be set up: this build has no TLS");
        else if (rc != MOSQ_ERR_SUCCESS && !caFile.isEmpty())
            tlsError_ = QStringLiteral("TLS cannot be set up: the CA file %1 cannot be read")
                            .arg(options_.caFile);
        else if (rc != MOSQ_ERR_SUCCESS)
            tlsError_ = QStringLiteral("TLS cannot be set up: %1")
                            .arg(QString::fromUtf8(mosquitto_strerror(rc)));
    }
    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, [this]() {
        const int rc = mosquitto_loop_misc(mosq_);
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN)
            fail(QString::fromUtf8(mosquitto_strerror(rc)));
        watch_socket();
    });
}

MqttClient::~MqttClient()
{
    if (connected_ && !options_.statusTopic.isEmpty()) {
        // A clean disconnect does not set off the last will: "offline" is
        // said here, and both go out before the socket closes.
        mosquitto_publish(mosq_, nullptr, options_.statusTopic.toUtf8().constData(), offline.size(),
                          offline.constData(), 1, true);
    }
    if (connected_) {
        mosquitto_disconnect(mosq_);
        for (int i = 0; i < 10 && mosquitto_want_write(mosq_); ++i)
            mosquitto_loop_write(mosq_, 1);
    }
    drop_notifiers();
    mosquitto_destroy(mosq_);
}

// Notifiers are let go later: this may run in one's own signal.
void MqttClient::drop_notifiers()
{
    for (std::unique_ptr<QSocketNotifier> *notifier : {&readable_, &writable_}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            notifier->release()->deleteLater();
        }
    }
}

void MqttClient::open()
{
    open_ = true;
    connected_ = false;
    if (!tlsError_.isEmpty()) {
        // Told as any failure is, once open() has returned.
        QTimer::singleShot(0, this, [this]() { fail(tlsError_); });
        return;
    }
    const int rc = mosquitto_connect_async(mosq_, options_.host.toUtf8().constData(), options_.port,
                                           options_.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
        fail(rc == MOSQ_ERR_ERRNO ? qt_error_string() : QString::fromUtf8(mosquitto_strerror(rc)));
        return;
    }
    misc_.start();
    watch_socket();
}

// Notifiers for the connection's socket (a new one after each connect):
// reading always, writing while libmosquitto has something to send.
void MqttClient::watch_socket()
{
    const int fd = open_ ? mosquitto_socket(mosq_) : -1;
    if (fd < 0) {
        drop_notifiers();
        return;
    }
    if (!readable_ || readable_->socket() != fd) {
        drop_notifiers();
        readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        writable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        connect(readable_.get(), &QSocketNotifier::activated, this, [this]() {
            const int rc = mosquitto_loop_read(mosq_, 1);
            if (rc != MOSQ_ERR_SUCCESS)
                fail(rc == MOSQ_ERR_ERRNO ? qt_error_string()
                                          : QString::fromUtf8(mosquitto_strerror(rc)));
            watch_socket();
        });
        connect(writable_.get(), &QSocketNotifier::activated, this, [this]() {
            const int rc = mosquitto_loop_write(mosq_, 1);
            if (rc != MOSQ_ERR_SUCCESS)
                fail(rc == MOSQ_ERR_ERRNO ? qt_error_string()
                                          : QString::fromUtf8(mosquitto_strerror(rc)));
            watch_socket();
        });
    }
    writable_->setEnabled(mosquitto_want_write(mosq_));
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    int messageId = -1;
    const int rc = mosquitto_publish(mosq_, &messageId, topic.toUtf8().constData(), payload.size(),
                                     payload.constData(), qos, retain);
    watch_socket();
    return rc == MOSQ_ERR_SUCCESS ? messageId : -1;
}

void MqttClient::subscribe(const QString &topic)
{
    mosquitto_subscribe(mosq_, nullptr, topic.toUtf8().constData(), 1);
    watch_socket();
}

void MqttClient::fail(const QString &reason, bool passwordRefused)
{
    if (!open_)
        return;
    open_ = false;
    connected_ = false;
    misc_.stop();
    drop_notifiers();
    emit failed(reason, passwordRefused);
}

void MqttClient::on_connect(mosquitto *, void *self, int code)
{
    auto *client = static_cast<MqttClient *>(self);
    if (code != 0) {
        // 4: bad user name or password, 5: not authorised.
        client->fail(QString::fromUtf8(mosquitto_connack_string(code)), code == 4 || code == 5);
        return;
    }
    client->connected_ = true;
    if (!client->options_.statusTopic.isEmpty())
        client->publish(client->options_.statusTopic, online, 1, true);
    emit client->connected();
}

void MqttClient::on_disconnect(mosquitto *, void *self, int code)
{
    auto *client = static_cast<MqttClient *>(self);
    if (code != 0 && client->connected_)
        client->fail(QStringLiteral("the broker closed the connection"));
}

void MqttClient::on_publish(mosquitto *, void *self, int messageId)
{
    emit static_cast<MqttClient *>(self)->published(messageId);
}

void MqttClient::on_message(mosquitto *, void *self, const struct mosquitto_message *m)
{
    auto *client = static_cast<MqttClient *>(self);
    const QString topic = QString::fromUtf8(m->topic);
    if (client->options_.maxPayloadBytes > 0 && m->payloadlen > client->options_.maxPayloadBytes) {
        emit client->oversized(topic, m->payloadlen);
        return;
    }
    emit client->message(topic, QByteArray(static_cast<const char *>(m->payload), m->payloadlen));
}

#else

bool MqttClient::available()
{
    return false;
}

bool MqttClient::tls_available()
{
    return false;
}

MqttClient::MqttClient(const Options &options, QObject *parent) : QObject(parent), options_(options)
{
}

MqttClient::~MqttClient() = default;

void MqttClient::open()
{
    QTimer::singleShot(0, this,
                       [this]() { fail(QStringLiteral("this build has no MQTT"), false); });
}

int MqttClient::publish(const QString &, const QByteArray &, int, bool)
{
    return -1;
}

void MqttClient::subscribe(const QString &)
{
}

void MqttClient::watch_socket()
{
}

void MqttClient::drop_notifiers()
{
}

void MqttClient::fail(const QString &reason, bool passwordRefused)
{
    emit failed(reason, passwordRefused);
}

void MqttClient::on_connect(mosquitto *, void *, int)
{
}

void MqttClient::on_disconnect(mosquitto *, void *, int)
{
}

void MqttClient::on_publish(mosquitto *, void *, int)
{
}

void MqttClient::on_message(mosquitto *, void *, const struct mosquitto_message *)
{
}

#endif
