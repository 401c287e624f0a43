// SPDX-License-Identifier: MIT
#pragma once
// A real Icecast server (Debian's icecast2) on a free loopback port, as an
// unprivileged user since it refuses to run as root, with a source feeding
// its mount (a mount without a source refuses title updates) and a listener
// that reads the stream titles back as players do (Icy-MetaData: 1).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <unistd.h>

class IcecastServer {
public:
    static constexpr const char *sourcePassword = "source-pw";
    static constexpr const char *mount = "/live";

    // Starts the server; ok() tells whether it came up within five seconds.
    IcecastServer()
    {
        const QString binary = QStandardPaths::findExecutable(QStringLiteral("icecast2"));
        if (binary.isEmpty()) {
            error_ = QStringLiteral("icecast2 is not installed (scripts/setup icecast2)");
            return;
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port_ = probe.serverPort();
        probe.close();
        // Readable and writable by the unprivileged user it runs as.
        QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7777));
        const QString config = dir_.filePath(QStringLiteral("icecast.xml"));
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral(
                       "<icecast><limits><clients>20</clients><sources>2</sources>"
                       "<burst-size>0</burst-size><source-timeout>10</source-timeout></limits>"
                       "<authentication><source-password>%1</source-password>"
                       "<admin-user>admin</admin-user><admin-password>admin-pw</admin-password>"
                       "</authentication><hostname>127.0.0.1</hostname>"
                       "<listen-socket><port>%2</port><bind-address>127.0.0.1</bind-address>"
                       "</listen-socket><fileserve>0</fileserve>"
                       // Titles reach a listener every kilobyte, not every 16.
                       "<mount><mount-name>%3</mount-name>"
                       "<mp3-metadata-interval>1000</mp3-metadata-interval></mount>"
                       "<paths><basedir>%4</basedir><logdir>%4</logdir>"
                       "<webroot>/usr/share/icecast2/web</webroot>"
                       "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
                       "<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog>"
                       "<loglevel>2</loglevel></logging></icecast>")
                       .arg(QLatin1String(sourcePassword))
                       .arg(port_)
                       .arg(QLatin1String(mount), dir_.path())
                       .toUtf8());
        file.close();
        QFile::setPermissions(config, QFileDevice::Permissions(0x6444));
        QStringList command{binary, QStringLiteral("-c"), config};
        if (geteuid() == 0)
            command =
                QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                            QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")} +
                command;
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(command.first(), command.mid(1));
        for (int i = 0; i < 100 && error_.isEmpty(); ++i) {
            QTcpSocket probeSocket;
            probeSocket.connectToHost(QHostAddress::LocalHost, port_);
            if (probeSocket.waitForConnected(50))
                return;
            if (process_.state() == QProcess::NotRunning)
                error_ =
                    QStringLiteral("icecast2 ended: ") + QString::fromLocal8Bit(process_.readAll());
            QThread::msleep(50);
        }
        if (error_.isEmpty())
            error_ = QStringLiteral("icecast2 did not listen within five seconds");
    }
    ~IcecastServer()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished();
    }

    QString error() const
    {
        return error_;
    }
    quint16 port() const
    {
        return port_;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

// A source client: puts a stream of silent MPEG frames on the mount, as
// fast as a listener needs titles, until it is destroyed.
class IcecastSource : public QObject {
public:
    explicit IcecastSource(quint16 port)
    {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        socket_.waitForConnected(2000);
        socket_.write(QByteArray("PUT ") + IcecastServer::mount +
                      " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                      (QByteArray("source:") + IcecastServer::sourcePassword).toBase64() +
                      "\r\nContent-Type: audio/mpeg\r\nIce-Name: test\r\n\r\n");
        socket_.waitForReadyRead(2000);
        accepted_ = socket_.readAll().contains(" 200 ");
        // 8 frames of 417 bytes every 5 ms, sent as they come: a new title
        // reaches the listener within one such chunk.
        QByteArray frame(417, '\0');
        frame[0] = char(0xFF);
        frame[1] = char(0xFB);
        frame[2] = char(0x90);
        frame[3] = char(0x64);
        chunk_ = frame.repeated(8);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this]() { socket_.write(chunk_); });
        timer_.start(5);
    }
    bool accepted() const
    {
        return accepted_;
    }

private:
    QTcpSocket socket_;
    QTimer timer_;
    QByteArray chunk_;
    bool accepted_ = false;
};

// A listener that asks for titles in the stream and keeps each new one as
// the bytes between "StreamTitle='" and "';".
class IcecastListener : public QObject {
public:
    explicit IcecastListener(quint16 port)
    {
        connect(&socket_, &QTcpSocket::readyRead, this, [this]() { read(); });
        socket_.connectToHost(QHostAddress::LocalHost, port);
        socket_.waitForConnected(2000);
        socket_.write(QByteArray("GET ") + IcecastServer::mount +
                      " HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n");
    }
    // Each title as it changed, in order.
    QList<QByteArray> titles;

private:
    void read()
    {
        buffer_ += socket_.readAll();
        if (metaInterval_ == 0) {
            const int end = int(buffer_.indexOf("\r\n\r\n"));
            if (end < 0)
                return;
            for (const QByteArray &line : buffer_.left(end).split('\n'))
                if (line.toLower().startsWith("icy-metaint:"))
                    metaInterval_ = line.mid(12).trimmed().toInt();
            buffer_.remove(0, end + 4);
            if (metaInterval_ == 0)
                return;
        }
        for (;;) {
            if (buffer_.size() < metaInterval_ + 1)
                return;
            const int length = uchar(buffer_.at(metaInterval_)) * 16;
            if (buffer_.size() < metaInterval_ + 1 + length)
                return;
            const QByteArray block = buffer_.mid(metaInterval_ + 1, length);
            buffer_.remove(0, metaInterval_ + 1 + length);
            const QByteArray start = "StreamTitle='";
            const int end = int(block.lastIndexOf("';"));
            if (block.startsWith(start) && end >= start.size()) {
                const QByteArray title = block.mid(start.size(), end - start.size());
                if (titles.isEmpty() || titles.last() != title)
                    titles << title;
            }
        }
    }

    QTcpSocket socket_;
    QByteArray buffer_;
    int metaInterval_ = 0;
};
