// SPDX-License-Identifier: MIT
#include "send_attempt.h"

#include "on_air_text.h"
#include "output_file.h"
#include "outside_text.h"
#include "serial_port.h"
#include "shown_address.h"
#include "socket_options.h"
#include "uecp.h"

#include <QFile>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>
#ifdef NOWPLAYING_SERIAL
#include <QSerialPort>
#endif

#include <memory>

namespace {

// How long a file (file:, dls:) may take to be written.
constexpr int fileWriteLimitMs = fifoReaderWaitMs + 5000;

QString timed_out(int ms)
{
    return QStringLiteral("no answer within %1 s").arg(ms / 1000.0);
}

// Closes a connection at once, resetting it: nothing it held is sent.
void reset(QAbstractSocket *socket)
{
    socket->disconnect();
    if (socket->socketType() == QAbstractSocket::TcpSocket &&
        socket->state() == QAbstractSocket::ConnectedState)
        reset_on_close(socket->socketDescriptor());
    socket->abort();
    socket->deleteLater();
}

} // namespace

SendAttempt::SendAttempt(bool announces, QObject *parent) : QObject(parent), announces_(announces)
{
    deadline_.setSingleShot(true);
    heldDeadline_.setSingleShot(true);
    connect(&heldDeadline_, &QTimer::timeout, this, &SendAttempt::let_go_of_held);
}

SendAttempt::~SendAttempt()
{
    if (socket_)
        reset(socket_);
    if (held_)
        reset(held_);
    close_serial();
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
    else if (destination.kind == DestinationKind::RdsSerial)
        start_serial();
    else if (writes_a_file(destination))
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
    // The CA file as the destination was read in its station's folder.
    BrokerAddress broker = broker_address(destination_.url);
    broker.caFile = destination_.caFile;
    MqttClient::Options options = client_options(broker);
    if (announces_)
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
    const QUrl &url = request_.url;
    const bool tls = url.scheme() == QLatin1String("https");
    if (socket_)
        reset(socket_);
    auto *secure = tls ? new QSslSocket(this) : nullptr;
    socket_ = secure ? static_cast<QAbstractSocket *>(secure) : new QTcpSocket(this);
    // Qt reads no further ahead than this; what is read is ours to bound.
    socket_->setReadBufferSize(HttpReplyReader::longestBody);
    http_ = HttpReplyReader();
    connect(&deadline_, &QTimer::timeout, this, [this]() {
        end({false, timed_out(destination_.timeoutMs)});
    });
    const auto send = [this]() { socket_->write(http_request_bytes(request_)); };
    if (secure)
        connect(secure, &QSslSocket::encrypted, this, send);
    else
        connect(socket_, &QAbstractSocket::connected, this, send);
    connect(socket_, &QIODevice::readyRead, this, &SendAttempt::read_http);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    const auto errorSignal = &QAbstractSocket::errorOccurred;
#else
    const auto errorSignal = QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error);
#endif
    connect(socket_, errorSignal, this, [this](QAbstractSocket::SocketError error) {
        if (!running_)
            return;
        if (error == QAbstractSocket::RemoteHostClosedError) {
            read_http();
            if (running_) {
                http_.closed();
                finish_http();
            }
            return;
        }
        end({false, quoted_reply(socket_->errorString(), longestReplyLine)});
    });
    deadline_.start(destination_.timeoutMs);
    const quint16 port = quint16(url.port(tls ? 443 : 80));
    if (secure)
        secure->connectToHostEncrypted(url.host(), port);
    else
        socket_->connectToHost(url.host(), port);
}

void SendAttempt::read_http()
{
    if (!running_ || !socket_)
        return;
    // Never more at once than the reader takes; it fails past its bounds.
    http_.take(socket_->read(HttpReplyReader::longestHead + HttpReplyReader::longestBody));
    finish_http();
}

void SendAttempt::finish_http()
{
    if (http_.state() == HttpReplyReader::State::Done)
        end(judge_http_reply(destination_, http_.status(), http_.body(), http_.location()));
    else if (http_.state() == HttpReplyReader::State::Failed)
        end({false, http_.error()});
}

void SendAttempt::start_socket()
{
    // One connection at a time: the last one is still open.
    if (held_) {
        waitingForHeld_ = true;
        connect(&deadline_, &QTimer::timeout, this, [this]() {
            end({false, timed_out(destination_.timeoutMs)});
        });
        deadline_.start(destination_.timeoutMs);
        return;
    }
    const bool tcp = destination_.kind == DestinationKind::RdsTcp;
    if (socket_)
        reset(socket_);
    socket_ = tcp ? static_cast<QAbstractSocket *>(new QTcpSocket(this))
                  : static_cast<QAbstractSocket *>(new QUdpSocket(this));
    // What an encoder says is read a line or a frame at a time: one that
    // floods waits in its own buffers, not in this program's memory.
    if (tcp)
        socket_->setReadBufferSize(longestReplyLine + 1);
    deadline_.disconnect();
    connect(&deadline_, &QTimer::timeout, this, &SendAttempt::reply_overdue);
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
        end({false, midReply
                        ? QStringLiteral("closed in mid-reply: \"%1\"").arg(quoted_reply(received_))
                        : quoted_reply(socket_->errorString(), longestReplyLine)});
    });
    deadline_.start(destination_.timeoutMs);
    socket_->connectToHost(destination_.url.host(), quint16(destination_.url.port()));
}

// Keeps the last connection until it is closed: the next one waits for it.
void SendAttempt::hold(QAbstractSocket *socket)
{
    held_ = socket;
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    const auto errorSignal = &QAbstractSocket::errorOccurred;
#else
    const auto errorSignal = QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error);
#endif
    connect(socket, &QAbstractSocket::disconnected, this, &SendAttempt::let_go_of_held);
    connect(socket, errorSignal, this, &SendAttempt::let_go_of_held);
    heldDeadline_.start(destination_.timeoutMs);
}

// The held connection is closed, or has taken too long to close and is
// reset; the next connection goes ahead.
void SendAttempt::let_go_of_held()
{
    heldDeadline_.stop();
    if (held_) {
        reset(held_);
        held_ = nullptr;
    }
    if (waitingForHeld_ && running_) {
        waitingForHeld_ = false;
        deadline_.stop();
        deadline_.disconnect();
        start_socket();
    }
}

// The serial port is opened once and kept between sends; one that fails
// (an adapter unplugged, a port another program took) is closed, and the
// next send opens it again.
void SendAttempt::start_serial()
{
    if (!serial_ && !open_serial())
        return;
    clear_serial_input(); // what came between two sends answers neither
    deadline_.disconnect();
    connect(&deadline_, &QTimer::timeout, this, &SendAttempt::reply_overdue);
    send_next_command();
}

// Qt SerialPort where the build has it, else the system's own ports.
bool SendAttempt::open_serial()
{
    const SerialLine &line = destination_.serial;
#ifdef NOWPLAYING_SERIAL
    {
        auto *const port = new QSerialPort(destination_.path, this);
        serial_ = port;
        port->setBaudRate(line.baud);
        port->setDataBits(QSerialPort::DataBits(line.bits));
        port->setParity(line.parity == 'E'   ? QSerialPort::EvenParity
                        : line.parity == 'O' ? QSerialPort::OddParity
                        : line.parity == 'M' ? QSerialPort::MarkParity
                        : line.parity == 'S' ? QSerialPort::SpaceParity
                                             : QSerialPort::NoParity);
        port->setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
        port->setFlowControl(line.hardwareFlow ? QSerialPort::HardwareControl
                                               : QSerialPort::NoFlowControl);
        connect(serial_, &QIODevice::readyRead, this, &SendAttempt::read_reply);
        connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            // A port that fails to open says so through open() below.
            if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || !serial_ ||
                !serial_->isOpen())
                return;
            const QString why = quoted_reply(serial_->errorString(), longestReplyLine);
            close_serial();
            end({false, why});
        });
        if (!port->open(QIODevice::ReadWrite)) {
            const QString why = quoted_reply(port->errorString(), longestReplyLine);
            close_serial();
            end({false, QStringLiteral("cannot open %1: %2").arg(destination_.path, why)});
            return false;
        }
    }
#else
    const SerialOpening opened = open_system_serial_port(
        destination_.path, {line.baud, line.bits, line.parity, line.stopBits, line.hardwareFlow},
        this);
    if (!opened.port) {
        end({false, QStringLiteral("cannot open %1: %2")
                        .arg(destination_.path, quoted_reply(opened.error, longestReplyLine))});
        return false;
    }
    serial_ = opened.port;
    connect(serial_, &QIODevice::readyRead, this, &SendAttempt::read_reply);
    connect(serial_, &QIODevice::readChannelFinished, this, [this]() {
        const QString why = quoted_reply(serial_->errorString(), longestReplyLine);
        close_serial();
        end({false, why});
    });
#endif
    return true;
}

void SendAttempt::clear_serial_input()
{
#ifdef NOWPLAYING_SERIAL
    static_cast<QSerialPort *>(serial_)->clear(QSerialPort::Input);
#else
    clear_system_serial_input(serial_);
#endif
}

void SendAttempt::close_serial()
{
    if (!serial_)
        return;
    QIODevice *port = serial_;
    serial_ = nullptr;
    port->disconnect(this);
    port->close();
    port->deleteLater();
}

QIODevice *SendAttempt::device() const
{
    if (destination_.kind == DestinationKind::RdsSerial)
        return serial_;
    return socket_;
}

// No reply within the time: an encoder that speaks the binary protocol and
// said nothing took the frame, as most of them never answer.
void SendAttempt::reply_overdue()
{
    if (awaitingAcknowledgement_ && received_.isEmpty()) {
        awaitingAcknowledgement_ = false;
        send_next_command();
        return;
    }
    end({false, received_.isEmpty() ? timed_out(destination_.timeoutMs)
                                    : QStringLiteral("no whole reply within %1 s: \"%2\"")
                                          .arg(QString::number(destination_.timeoutMs / 1000.0),
                                               quoted_reply(received_))});
}

void SendAttempt::send_next_command()
{
    awaitingAcknowledgement_ = false;
    if (nextCommand_ >= request_.commands.size()) {
        end({true,
             destination_.dialect->awaitsReply ? QStringLiteral("done") : QStringLiteral("sent")});
        return;
    }
    QIODevice *const out = device();
    const QByteArray &command = request_.commands.at(nextCommand_++);
    if (out->write(command) != command.size()) {
        end({false, out->errorString()});
        return;
    }
    // Over UDP nothing answers; a plain encoder answers nothing either.
    if (destination_.kind == DestinationKind::RdsUdp || !destination_.dialect->awaitsReply) {
        if (destination_.kind == DestinationKind::RdsTcp)
            socket_->flush();
        send_next_command();
        return;
    }
    awaitingAcknowledgement_ = destination_.dialect->uecp;
    deadline_.start(awaitingAcknowledgement_
                        ? qMin(destination_.timeoutMs, uecpAcknowledgementWindowMs)
                        : destination_.timeoutMs);
}

// An acknowledgement frame in what came, judged by its code; other frames
// and bytes before a frame's start are passed over, all that has come
// (what is passed over makes room to read on: an acknowledgement after a
// kilobyte of other frames is not left unread).
void SendAttempt::read_acknowledgement()
{
    for (;;) {
        received_ += device()->read(longestReplyLine + 1 - received_.size());
        const int start = int(received_.indexOf(char(0xFE)));
        received_.remove(0, start < 0 ? received_.size() : start);
        const int stop = int(received_.indexOf(char(0xFF)));
        if (stop < 0) {
            if (received_.size() > longestReplyLine)
                end({false, QStringLiteral("a frame of more than %1 bytes: \"%2\"")
                                .arg(QString::number(longestReplyLine),
                                     quoted_reply(received_.toHex(' ')))});
            else if (device()->bytesAvailable() > 0)
                continue;
            return;
        }
        const std::optional<int> code = uecp_acknowledgement(received_.left(stop + 1));
        received_.remove(0, stop + 1);
        if (!code)
            continue;
        if (*code != 0) {
            end({false, QStringLiteral("refused: %1 (code %2)")
                            .arg(uecp_code_meaning(*code), QString::number(*code))});
            return;
        }
        deadline_.stop();
        received_.clear();
        send_next_command();
        return;
    }
}

void SendAttempt::read_reply()
{
    if (!running_) {
        // A serial port stays open between sends: what it says then is
        // read and forgotten, never kept.
        if (destination_.kind == DestinationKind::RdsSerial && device())
            device()->readAll();
        return;
    }
    if (destination_.dialect->uecp) {
        read_acknowledgement();
        return;
    }
    // A line end is looked for one byte past the longest line: what comes
    // after that is never read.
    received_ += device()->read(longestReplyLine + 1 - received_.size());
    const int lineEnd = int(received_.indexOf('\n'));
    if (lineEnd < 0) {
        if (received_.size() > longestReplyLine)
            end({false, QStringLiteral("a reply of more than %1 bytes without a line end: \"%2\"")
                            .arg(QString::number(longestReplyLine), quoted_reply(received_))});
        return;
    }
    const Verdict verdict = judge_rds_reply(*destination_.dialect, received_.left(lineEnd));
    received_.clear();
    if (!verdict.delivered) {
        end(verdict);
        return;
    }
    send_next_command();
}

void SendAttempt::end(const Verdict &given)
{
    if (!running_)
        return;
    running_ = false;
    waitingForHeld_ = false;
    deadline_.stop();
    deadline_.disconnect();
    if (socket_) {
        QAbstractSocket *socket = socket_;
        socket_ = nullptr;
        socket->disconnect(this);
        const bool open = socket->socketType() == QAbstractSocket::TcpSocket &&
                          socket->state() == QAbstractSocket::ConnectedState;
        if (open && given.delivered) {
            // Closed once what was written has gone out; aborting would drop
            // it. The next connection waits until then.
            hold(socket);
            socket->disconnectFromHost();
        } else {
            reset(socket);
        }
    }
    // Whatever a peer or the system put into it is shown as one line,
    // without the secrets of an address it names.
    Verdict verdict = given;
    verdict.answer = without_secrets(on_air_value(verdict.answer));
    emit finished(verdict);
}
