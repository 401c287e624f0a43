// SPDX-License-Identifier: MIT
#pragma once

#include "mqtt_client.h"
#include "send_request.h"
#include "verdict.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QAbstractSocket;
class QNetworkAccessManager;
class QNetworkReply;

// One try at carrying one request to one destination, over Qt Network:
// HTTP through QNetworkAccessManager, RDS encoders over a QTcpSocket (each
// command answered before the next) or a QUdpSocket; a file (file:, dls:)
// is written in a thread of its own, so that a slow disk or a FIFO holds up
// nothing else. It never blocks: the outcome comes as `finished`, after at
// most the destination's timeout for connecting and again for each reply.
// Needs a running event loop.
class SendAttempt : public QObject {
    Q_OBJECT
public:
    // `network` is shared by the attempts of a program and must outlive them.
    SendAttempt(QNetworkAccessManager &network, QObject *parent = nullptr);
    ~SendAttempt() override;

    // Starts the attempt; `finished` follows exactly once.
    void start(const Destination &destination, const SendRequest &request);
    bool running() const
    {
        return running_;
    }

signals:
    void finished(const Verdict &verdict);
    // An MQTT connection kept between sends ended while nothing was being
    // sent: the broker may have lost what it held.
    void connectionLost();

private:
    void start_http();
    void start_socket();
    void start_file();
    void start_mqtt();
    void publish_mqtt();
    void send_next_command();
    void read_reply();
    void end(const Verdict &verdict);

    QNetworkAccessManager &network_;
    Destination destination_;
    SendRequest request_;
    QPointer<QNetworkReply> reply_;
    QAbstractSocket *socket_ = nullptr;
    QByteArray received_;
    int nextCommand_ = 0;
    QTimer deadline_;
    bool running_ = false;
    std::unique_ptr<MqttClient> mqtt_; // kept between sends, so that its status stays "online"
    int awaitedMessage_ = -1;
};
