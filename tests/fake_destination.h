// SPDX-License-Identifier: MIT
#pragma once
// Loopback stand-ins for the destinations nowplaying-watch sends to, each
// able to misbehave as real ones do: an RDS encoder answering each command
// line (or never, or slowly, or closing in mid-reply, or with bytes that
// never end), an HTTP server answering each request, a UDP encoder that
// only listens, and an encoder whose program hangs (it takes connections
// and reads nothing; when it wakes it reads what its system kept, that of
// connections reset meanwhile too, as Linux keeps it).

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <functional>

struct FakeBehaviour {
    QByteArray reply;        // sent for each command or request; empty: never answers
    int delayMs = 0;         // before the reply
    bool closeAfter = false; // closes the connection once the reply is out
    bool endless = false;    // the reply again and again, until the peer goes
};

class FakeDestination : public QObject {
public:
    enum Kind { Encoder, Http, Udp, UecpEncoder }; // UECP: frames from FE to FF

    FakeDestination(Kind kind, FakeBehaviour behaviour, quint16 port = 0)
        : behaviour(behaviour), kind_(kind)
    {
        clock_.start();
        if (kind == Udp) {
            udp_.bind(QHostAddress::LocalHost, port);
            connect(&udp_, &QUdpSocket::readyRead, this, [this]() {
                while (udp_.hasPendingDatagrams()) {
                    QByteArray datagram(int(udp_.pendingDatagramSize()), '\0');
                    udp_.readDatagram(datagram.data(), datagram.size());
                    record(datagram);
                }
            });
            return;
        }
        tcp_.listen(QHostAddress::LocalHost, port);
        connect(&tcp_, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket *socket = tcp_.nextPendingConnection())
                serve(socket);
        });
    }

    quint16 port() const
    {
        return kind_ == Udp ? udp_.localPort() : tcp_.serverPort();
    }
    // May be changed at any time: a destination that comes back.
    FakeBehaviour behaviour;
    // Each command line (line end included) or each whole HTTP request.
    QList<QByteArray> received;
    // When each one came, in milliseconds since the fake started.
    QList<qint64> receivedAt;
    // Its program hangs (reads nothing) until woken, then reads what came,
    // the newest connection first (an order no sender can rely on).
    void hang(bool hanging)
    {
        hanging_ = hanging;
        if (!hanging)
            for (auto wake = waiting_.crbegin(); wake != waiting_.crend(); ++wake)
                (*wake)();
        waiting_.clear();
    }
    // Milliseconds since the fake started, on the clock of receivedAt.
    qint64 now_ms() const
    {
        return clock_.elapsed();
    }

private:
    void record(const QByteArray &message)
    {
        received << message;
        receivedAt << clock_.elapsed();
    }

    // The next whole command or request in `buffer`, taken out of it.
    QByteArray take_message(QByteArray &buffer) const
    {
        if (kind_ == Encoder || kind_ == UecpEncoder) {
            const int end = int(buffer.indexOf(kind_ == Encoder ? '\n' : char(0xFF)));
            if (end < 0)
                return QByteArray();
            const QByteArray line = buffer.left(end + 1);
            buffer.remove(0, end + 1);
            return line;
        }
        const int headerEnd = int(buffer.indexOf("\r\n\r\n"));
        if (headerEnd < 0)
            return QByteArray();
        int length = 0;
        for (const QByteArray &line : buffer.left(headerEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toInt();
        if (buffer.size() < headerEnd + 4 + length)
            return QByteArray();
        const QByteArray request = buffer.left(headerEnd + 4 + length);
        buffer.remove(0, request.size());
        return request;
    }

    void serve(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        // Qt keeps what it read of a connection that is gone: a hanging
        // program reads it when it wakes.
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket]() {
            if (!hanging_)
                socket->deleteLater();
        });
        const auto read = [this, socket, buffer]() {
            if (hanging_) {
                waiting_ << [socket]() { emit socket->readyRead(); };
                return;
            }
            *buffer += socket->readAll();
            for (QByteArray message = take_message(*buffer); !message.isEmpty();
                 message = take_message(*buffer)) {
                record(message);
                if (behaviour.reply.isEmpty())
                    continue;
                QTimer::singleShot(behaviour.delayMs, socket, [this, socket]() {
                    socket->write(behaviour.reply);
                    if (behaviour.endless)
                        flood(socket);
                    if (behaviour.closeAfter)
                        socket->disconnectFromHost();
                });
            }
            if (socket->state() != QAbstractSocket::ConnectedState)
                socket->deleteLater();
        };
        connect(socket, &QTcpSocket::readyRead, this, read);
        if (socket->bytesAvailable() > 0)
            read();
    }

    // The reply over and over while the peer takes it.
    void flood(QTcpSocket *socket)
    {
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket]() {
            if (socket->bytesToWrite() < 1024 * 1024)
                socket->write(behaviour.reply.repeated(64));
        });
    }

    Kind kind_;
    bool hanging_ = false;
    QList<std::function<void()>> waiting_; // what the hanging program reads when it wakes
    QTcpServer tcp_;
    QUdpSocket udp_;
    QElapsedTimer clock_;
};

// A DAB+ encoder reading its Dynamic Label file as such encoders are
// documented to: it reads the whole file again for each label (here every
// 20 ms, faster than any real one), takes the lines between
// "##### parameters { #####" and "##### parameters } #####" as parameters
// (DL_PLUS=1, DL_PLUS_TAG=TYPE START LENGTH-1) and the other lines, joined
// by a blank, as the label. It shows what it read, a half-written file too.
class FakeDabEncoder : public QObject {
public:
    struct Label {
        QString text;
        QStringList tags; // "TYPE START LENGTH-1", with DL_PLUS=1
        bool operator==(const Label &other) const
        {
            return text == other.text && tags == other.tags;
        }
    };

    explicit FakeDabEncoder(const QString &path) : path_(path)
    {
        connect(&poll_, &QTimer::timeout, this, [this]() {
            QFile file(path_);
            if (!file.open(QIODevice::ReadOnly))
                return;
            Label label;
            bool parameters = false, dlPlus = false;
            QStringList lines;
            for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
                if (line == "##### parameters { #####")
                    parameters = true;
                else if (line == "##### parameters } #####")
                    parameters = false;
                else if (parameters && line == "DL_PLUS=1")
                    dlPlus = true;
                else if (parameters && line.startsWith("DL_PLUS_TAG="))
                    label.tags << line.mid(12);
                else if (!parameters && !line.isEmpty())
                    lines << line;
            }
            if (!dlPlus)
                label.tags.clear();
            label.text = lines.join(' ');
            if (shown.isEmpty() || !(shown.last() == label))
                shown << label;
        });
        poll_.start(20);
    }
    // Every label it put on air, in order.
    QList<Label> shown;

private:
    QString path_;
    QTimer poll_;
};

// A loopback port nothing listens on: connecting to it is refused.
inline quint16 refusing_port()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}
