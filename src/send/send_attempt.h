// SPDX-License-Identifier: MIT
#pragma once

#include "http_reply.h"
#include "mqtt_client.h"
#include "send_request.h"
#include "verdict.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QAbstractSocket;
class QIODevice;

// One try at carrying one request to one destination, over Qt Network:
// HTTP/1.1 over a QTcpSocket or a QSslSocket (one request a connection,
// read by HttpReplyReader), RDS encoders over a QTcpSocket (each command
// answered before the next) or a QUdpSocket; a file (file:, dls:)
// is written in a thread of its own, so that a slow disk or a FIFO holds up
// nothing else. It never blocks: the outcome comes as `finished`, after at
// most the destination's timeout for connecting and again for each reply.
// Needs a running event loop.
//
// What a peer answers is read up to a bound: one line of at most
// longestReplyLine bytes from an encoder, at most longestHttpBody bytes of
// an HTTP body; past it the connection is closed and the attempt fails,
// quoting the first quotedReplyLength characters. (Qt's network access
// manager is not used for HTTP: a peer that sends a body without end keeps
// its connection busy for good, and later requests never go out.)
//
// An attempt reused for the next send keeps one TCP connection at a time
// to its encoder. One that took the text is closed in order, and the next
// waits for that (at most one timeout, then it is reset). One given up is
// reset at once, so that what it still held to send is dropped rather than
// reaching the encoder later.
class SendAttempt : public QObject {
    Q_OBJECT
public:
    // `announces`: an MQTT connection holds "online" on TOPIC/status while it
    // lives, "offline" after (the watcher's); a check's test send touches
    // nothing but the topic itself.
    explicit SendAttempt(bool announces = false, QObject *parent = nullptr);

    static constexpr int longestReplyLine = 1024;
    // How long an encoder speaking the binary protocol is given to
    // acknowledge a frame before its silence counts as done.
    static constexpr int uecpAcknowledgementWindowMs = 300;
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
    void start_serial();
    bool open_serial();
    void clear_serial_input();
    void close_serial();
    QIODevice *device() const; // what an encoder's commands are written to
    void reply_overdue();
    void read_acknowledgement();
    void start_file();
    void start_mqtt();
    void publish_mqtt();
    void send_next_command();
    void read_reply();
    void read_http();
    void finish_http();
    void hold(QAbstractSocket *socket);
    void let_go_of_held();
    void end(const Verdict &verdict);

    Destination destination_;
    SendRequest request_;
    QAbstractSocket *socket_ = nullptr;
    QAbstractSocket *held_ = nullptr; // the last connection, closing in order
    QTimer heldDeadline_;             // then it is reset
    bool waitingForHeld_ = false;     // the next connection waits for it
    QByteArray received_;
    HttpReplyReader http_;
    int nextCommand_ = 0;
    QTimer deadline_;
    bool running_ = false;
    bool announces_;
    std::unique_ptr<MqttClient> mqtt_; // kept between sends, so that its status stays "online"
    int awaitedMessage_ = -1;
    QIODevice *serial_ = nullptr;          // a serial port, kept open between sends
    bool awaitingAcknowledgement_ = false; // a frame written, silence is done
};
