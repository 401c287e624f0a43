// SPDX-License-Identifier: MIT
#pragma once
// Loopback stand-ins for the destinations nowplaying-watch sends to, each
// able to misbehave as real ones do: an RDS encoder answering each command
// line (or never, or slowly, or closing in mid-reply, or with bytes that
// never end), an HTTP server answering each request, a UDP encoder that
// only listens, and an encoder whose program hangs (it takes connections
// and reads nothing; when it wakes it reads what its system kept, that of
// connections reset meanwhile too, as Linux keeps it). A UECP encoder
// checks every frame as the standard has it, on its own reading of it:
// what is wrong with one is kept in `faults`.

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

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
    // What a UECP encoder found wrong, one line per frame.
    QStringList faults;
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
        if (kind_ == UecpEncoder) {
            const QString fault = uecp_fault(message);
            if (!fault.isEmpty())
                faults << fault + ": " + QString::fromLatin1(message.toHex(' '));
        }
        received << message;
        receivedAt << clock_.elapsed();
    }

    // Why a frame (FE to FF) is not one an encoder takes, or nothing. It
    // must be unstuffed (FD 00/01/02 only), its length byte and CRC right
    // (CCITT from FFFF, complemented, high byte first), and each element
    // whole: RadioText (0A) of at most 64 characters of the basic table,
    // transmitted until replaced, its A/B toggle asked for (a new text);
    // a PS name (02) of 8.
    static QString uecp_fault(const QByteArray &frame)
    {
        if (frame.size() < 7 || quint8(frame.at(0)) != 0xFE || quint8(frame.back()) != 0xFF)
            return "not framed by FE and FF";
        QByteArray body;
        for (int i = 1; i < frame.size() - 1; ++i) {
            const quint8 byte = quint8(frame.at(i));
            if (byte == 0xFE || byte == 0xFF)
                return "an unstuffed FE or FF";
            if (byte != 0xFD) {
                body += char(byte);
                continue;
            }
            const int next = ++i < frame.size() - 1 ? quint8(frame.at(i)) : -1;
            if (next < 0 || next > 2)
                return "FD not followed by 00, 01 or 02";
            body += char(0xFD + next);
        }
        if (body.size() < 6 || quint8(body.at(3)) != body.size() - 6)
            return "a length byte that is not the message field's";
        quint16 crc = 0xFFFF;
        for (int i = 0; i < body.size() - 2; ++i)
            for (int bit = 7; bit >= 0; --bit) {
                const bool top = (crc >> 15) ^ ((quint8(body.at(i)) >> bit) & 1);
                crc = quint16(crc << 1) ^ (top ? 0x1021 : 0);
            }
        if (quint16(~crc) != quint16(quint8(body.at(body.size() - 2)) << 8 | quint8(body.back())))
            return "a wrong CRC";
        const QByteArray elements = body.mid(4, body.size() - 6);
        for (int at = 0; at < elements.size();) {
            const quint8 code = quint8(elements.at(at));
            if (code == 0x02) {
                if (elements.size() - at < 11)
                    return "a cut PS element";
                at += 11;
            } else if (code == 0x0A) {
                const int length = at + 3 < elements.size() ? quint8(elements.at(at + 3)) : -1;
                if (length < 1 || length > 65 || at + 4 + length > elements.size())
                    return "a RadioText element of a wrong length";
                const quint8 config = quint8(elements.at(at + 4));
                if (config != 0x01)
                    return "a RadioText not sent until replaced with its A/B toggle";
                for (const char c : elements.mid(at + 5, length - 1))
                    if (quint8(c) < 0x20 || quint8(c) == 0x7F || quint8(c) == 0xFF)
                        return "a RadioText character outside the basic table";
                at += 4 + length;
            } else {
                return QString("an unexpected element %1").arg(code, 2, 16, QChar('0'));
            }
        }
        return QString();
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
#ifdef Q_OS_WIN
        // A program the test starts later would inherit the connection
        // (Wine hands sockets down) and keep it open after the fake is gone.
        SetHandleInformation(HANDLE(socket->socketDescriptor()), HANDLE_FLAG_INHERIT, 0);
#endif
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
