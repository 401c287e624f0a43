// SPDX-License-Identifier: MIT
#pragma once
// A real MQTT broker for the tests (Debian's mosquitto), started on a free
// loopback port with a configuration written here (a password file for the
// rows that log in), or the one the test script started
// (NOWPLAYING_TEST_BROKER=HOST:PORT, NOWPLAYING_TEST_BROKER_AUTH for the one
// with a password file), as under Wine, where no Linux program can be
// started. And a subscriber through libmosquitto itself, with a timeout.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <mosquitto.h>

// User and password of the broker with a password file.
inline const char *const brokerUser = "studio";
inline const char *const brokerPassword = "p@ss#word";

class MqttBroker {
public:
    // `withPassword`: only brokerUser with brokerPassword may connect;
    // `config`: further lines of its configuration.
    explicit MqttBroker(bool withPassword = false, const QByteArray &more = {})
    {
        const QByteArray given =
            qgetenv(withPassword ? "NOWPLAYING_TEST_BROKER_AUTH" : "NOWPLAYING_TEST_BROKER");
        if (!given.isEmpty()) {
            host_ = QString::fromLatin1(given.split(':').first());
            port_ = quint16(given.split(':').last().toInt());
            external_ = true;
            return;
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port_ = probe.serverPort();
        probe.close();
        // Readable by the unprivileged user the broker becomes.
        QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7755));
        QByteArray config =
            "listener " + QByteArray::number(port_) + " 127.0.0.1\npersistence false\n" + more;
        if (withPassword) {
            const QString passwords = dir_.filePath("passwords");
            QProcess::execute("mosquitto_passwd",
                              {"-b", "-c", passwords, brokerUser, brokerPassword});
            QFile::setPermissions(passwords, QFileDevice::Permissions(0x6644));
            config += "allow_anonymous false\npassword_file " + passwords.toUtf8() + "\n";
        } else {
            config += "allow_anonymous true\n";
        }
        QFile file(dir_.filePath("mosquitto.conf"));
        file.open(QIODevice::WriteOnly);
        file.write(config);
        file.close();
        QFile::setPermissions(file.fileName(), QFileDevice::Permissions(0x6644));
        start();
    }
    ~MqttBroker()
    {
        stop();
    }
    // Starts the broker (again), and waits until it takes connections.
    void start()
    {
        if (external_)
            return;
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start("mosquitto", {"-c", dir_.filePath("mosquitto.conf")});
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 5000) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(100))
                return;
            QThread::msleep(20);
        }
    }
    void stop()
    {
        if (external_)
            return;
        process_.terminate();
        process_.waitForFinished(5000);
    }
    QString url(const QString &topic, bool withPassword = false) const
    {
        return QStringLiteral("mqtt://%1%2:%3/%4")
            .arg(withPassword
                     ? QStringLiteral("%1:%2@")
                           .arg(brokerUser)
                           .arg(QString::fromLatin1(QUrl::toPercentEncoding(brokerPassword)))
                     : QString(),
                 host_)
            .arg(port_)
            .arg(topic);
    }
    QString host() const
    {
        return host_;
    }
    quint16 port() const
    {
        return port_;
    }
    bool external() const
    {
        return external_;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString host_ = "127.0.0.1";
    quint16 port_ = 0;
    bool external_ = false;
};

// The retained message on `topic` and what arrives after it, for up to
// `ms` milliseconds or until `count` messages came, read by a subscriber
// of libmosquitto's own.
inline QList<QByteArray> subscribe(const MqttBroker &broker, const QString &topic, int count,
                                   int ms = 5000)
{
    mosquitto_lib_init();
    QList<QByteArray> received;
    mosquitto *mosq = mosquitto_new(nullptr, true, &received);
    mosquitto_message_callback_set(mosq, [](mosquitto *, void *list, const mosquitto_message *m) {
        static_cast<QList<QByteArray> *>(list)->append(
            QByteArray(static_cast<const char *>(m->payload), m->payloadlen));
    });
    if (mosquitto_connect(mosq, broker.host().toUtf8().constData(), broker.port(), 30) ==
        MOSQ_ERR_SUCCESS) {
        mosquitto_subscribe(mosq, nullptr, topic.toUtf8().constData(), 1);
        QElapsedTimer waited;
        waited.start();
        while (received.size() < count && waited.elapsed() < ms)
            mosquitto_loop(mosq, 50, 1);
        mosquitto_disconnect(mosq);
    }
    mosquitto_destroy(mosq);
    return received;
}

// Publishes `messages` to `topic` in order, retained with QoS 1, through
// libmosquitto itself, and waits until the broker has them all.
inline void publish(const MqttBroker &broker, const QString &topic,
                    const QList<QByteArray> &messages)
{
    mosquitto_lib_init();
    int acknowledged = 0;
    mosquitto *mosq = mosquitto_new(nullptr, true, &acknowledged);
    mosquitto_publish_callback_set(
        mosq, [](mosquitto *, void *count, int) { ++*static_cast<int *>(count); });
    if (mosquitto_connect(mosq, broker.host().toUtf8().constData(), broker.port(), 30) ==
        MOSQ_ERR_SUCCESS) {
        mosquitto_int_option(mosq, MOSQ_OPT_SEND_MAXIMUM, 65535);
        for (const QByteArray &message : messages) {
            mosquitto_publish(mosq, nullptr, topic.toUtf8().constData(), int(message.size()),
                              message.constData(), 1, true);
            mosquitto_loop(mosq, 0, 1);
        }
        QElapsedTimer waited;
        waited.start();
        while (acknowledged < messages.size() && waited.elapsed() < 30000)
            mosquitto_loop(mosq, 50, 1);
        mosquitto_disconnect(mosq);
    }
    mosquitto_destroy(mosq);
}
