// SPDX-License-Identifier: MIT
#include "send_attempt.h"

#include "output_file.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

#include <memory>

namespace {

// More of a reply than any destination needs to be judged by.
constexpr qint64 longestReply = 64 * 1024;
// How long a file (file:, dls:) may take to be written.
constexpr int fileWriteLimitMs = fifoReaderWaitMs + 5000;

QString timed_out(int ms)
{
    return QStringLiteral("no answer within %1 s").arg(ms / 1000.0);
}

} // namespace

SendAttempt::SendAttempt(QNetworkAccessManager &network, QObject *parent)
    : QObject(parent), network_(network)
{
    deadline_.setSingleShot(true);
}

SendAttempt::~SendAttempt()
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
    delete socket_;
}

void SendAttempt::start(const Destination &destination, const SendRequest &request)
{
    destination_ = destination;
    request_ = request;
    received_.clear();
    nextCommand_ = 0;
    running_ = true;
    deadline_.disconnect();
    if (destination.kind == DestinationKind::RdsTcp || destination.kind == DestinationKind::RdsUdp)
        start_socket();
    else if (destination.kind == DestinationKind::File || destination.kind == DestinationKind::Dls)
        start_file();
    else if (destination.kind == DestinationKind::Mqtt)
        start_mqtt();
    else
        start_http();
}

void SendAttempt::start_mqtt()
{
    connect(&deadline_, &QTimer::timeout, this, [this]() {
        mqtt_.reset(); // the next send connects anew
        end({false, timed_out(destination_.timeoutMs), false});
    });
    deadline_.start(destination_.timeoutMs);
    if (mqtt_ && mqtt_->is_connected()) {
        publish_mqtt();
        return;
    }
    const BrokerAddress broker = broker_address(destination_.url);
    MqttClient::Options options;
    options.host = broker.host;
    options.port = broker.port;
    options.user = broker.user;
    options.password = broker.password;
    options.tls = broker.tls;
    options.caFile = destination_.caFile;
    options.statusTopic = broker.topic + QStringLiteral("/status");
    mqtt_ = std::make_unique<MqttClient>(options);
    connect(mqtt_.get(), &MqttClient::connected, this, &SendAttempt::publish_mqtt);
    connect(mqtt_.get(), &MqttClient::published, this, [this](int messageId) {
        if (running_ && messageId == awaitedMessage_)
            end({true, QStringLiteral("published"), false});
    });
    connect(mqtt_.get(), &MqttClient::failed, this, [this](const QString &reason, bool refused) {
        // Let go once its signal has returned.
        mqtt_.release()->deleteLater();
        if (running_)
            end({false,
                 refused ? QStringLiteral("the password is refused (%1)").arg(reason) : reason,
                 refused});
        else
            emit connectionLost();
    });
    mqtt_->open();
}

void SendAttempt::publish_mqtt()
{
    if (!running_ || !mqtt_)
        return;
    awaitedMessage_ = mqtt_->publish(request_.topic, request_.body, 1, true);
    if (awaitedMessage_ < 0) {
        mqtt_.reset();
        end({false, QStringLiteral("the message could not be queued"), false});
        return;
    }
    deadline_.start(destination_.timeoutMs);
}

void SendAttempt::start_file()
{
    const QString path = request_.path;
    const QByteArray bytes = request_.fileBytes;
    const auto result = std::make_shared<WriteResult>();
    QThread *writer = QThread::create([result, path, bytes]() {
        *result =
            write_output(path, [&bytes](QFile &file) { return file.write(bytes) == bytes.size(); });
    });
    // Reported in this attempt's own thread, and not at all once it is gone.
    connect(writer, &QThread::finished, this, [this, result]() {
        const bool written = result->status == WriteStatus::Written;
        end({written, written ? QStringLiteral("written") : result->reason, false});
    });
    connect(writer, &QThread::finished, writer, &QObject::deleteLater);
    // A FIFO is waited for at most fifoReaderWaitMs; a file system that
    // hangs longer is reported, and the next text is tried later.
    connect(&deadline_, &QTimer::timeout, this, [this]() {
        end({false, QStringLiteral("not written within %1 s").arg(fileWriteLimitMs / 1000), false});
    });
    deadline_.start(fileWriteLimitMs);
    writer->start();
}

void SendAttempt::start_http()
{
    QNetworkRequest request(request_.url);
    for (const auto &header : std::as_const(request_.headers))
        request.setRawHeader(header.first, header.second);
    // A redirect would carry the password elsewhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    reply_ =
        request_.method == "POST" ? network_.post(request, request_.body) : network_.get(request);
    QNetworkReply *reply = reply_;
    connect(&deadline_, &QTimer::timeout, this, [this]() {
        const Verdict verdict{false, timed_out(destination_.timeoutMs)};
        if (reply_) {
            reply_->disconnect(this);
            reply_->abort();
            reply_->deleteLater();
        }
        end(verdict);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply]() {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        Verdict verdict = judge_http_reply(destination_, status, reply->read(longestReply));
        if (status == 0)
            verdict.answer = reply->errorString();
        reply->deleteLater();
        end(verdict);
    });
    deadline_.start(destination_.timeoutMs);
}

void SendAttempt::start_socket()
{
    const bool tcp = destination_.kind == DestinationKind::RdsTcp;
    delete socket_;
    socket_ = tcp ? static_cast<QAbstractSocket *>(new QTcpSocket(this))
                  : static_cast<QAbstractSocket *>(new QUdpSocket(this));
    connect(&deadline_, &QTimer::timeout, this, [this]() {
        end({false, received_.isEmpty() ? timed_out(destination_.timeoutMs)
                                        : QStringLiteral("no whole reply within %1 s: \"%2\"")
                                              .arg(destination_.timeoutMs / 1000.0)
                                              .arg(QString::fromLatin1(received_))});
    });
    connect(socket_, &QAbstractSocket::connected, this, &SendAttempt::send_next_command);
    connect(socket_, &QIODevice::readyRead, this, &SendAttempt::read_reply);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    const auto errorSignal = &QAbstractSocket::errorOccurred;
#else
    const auto errorSignal = QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error);
#endif
    connect(socket_, errorSignal, this, [this]() {
        if (!running_)
            return;
        const bool midReply = !received_.isEmpty();
        end({false,
             midReply
                 ? QStringLiteral("closed in mid-reply: \"%1\"").arg(QString::fromLatin1(received_))
                 : socket_->errorString()});
    });
    deadline_.start(destination_.timeoutMs);
    socket_->connectToHost(destination_.url.host(), quint16(destination_.url.port()));
}

void SendAttempt::send_next_command()
{
    if (nextCommand_ >= request_.commands.size()) {
        end({true,
             destination_.dialect->awaitsReply ? QStringLiteral("done") : QStringLiteral("sent")});
        return;
    }
    const QByteArray &command = request_.commands.at(nextCommand_++);
    if (socket_->write(command) != command.size()) {
        end({false, socket_->errorString()});
        return;
    }
    // Over UDP nothing answers; a plain encoder answers nothing either.
    if (destination_.kind == DestinationKind::RdsUdp || !destination_.dialect->awaitsReply) {
        if (destination_.kind == DestinationKind::RdsTcp)
            socket_->flush();
        send_next_command();
        return;
    }
    deadline_.start(destination_.timeoutMs);
}

void SendAttempt::read_reply()
{
    if (!running_)
        return;
    received_ += socket_->read(longestReply);
    const int lineEnd = int(received_.indexOf('\n'));
    if (lineEnd < 0)
        return;
    const Verdict verdict = judge_rds_reply(*destination_.dialect, received_.left(lineEnd));
    received_.clear();
    if (!verdict.delivered) {
        end(verdict);
        return;
    }
    send_next_command();
}

void SendAttempt::end(const Verdict &verdict)
{
    if (!running_)
        return;
    running_ = false;
    deadline_.stop();
    deadline_.disconnect();
    reply_ = nullptr;
    if (socket_) {
        QAbstractSocket *socket = socket_;
        socket_ = nullptr;
        socket->disconnect(this);
        if (verdict.delivered && socket->state() != QAbstractSocket::UnconnectedState) {
            // Closed once what was written has gone out; aborting would drop it.
            connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }
    emit finished(verdict);
}
