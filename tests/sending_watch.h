// SPDX-License-Identifier: MIT
#pragma once
// The built nowplaying-watch on a folder of its own that sends to given
// destinations, its log kept as it comes.

#include "event_wait.h"
#include "folder_run.h"

inline const QByteArray baseSettings =
    "<XML>doc.xml</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
    "<OUTXMLENC>UTF-8</OUTXMLENC><META>meta.txt</META>"
    "<METASPLITTER> - </METASPLITTER><METAENC>UTF-8</METAENC>"
    "<RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";

inline QByteArray doc(const QByteArray &title)
{
    return "<ARTIST>Кино</ARTIST><NAME>" + title + "</NAME>";
}

// The watcher on a folder whose settings send to `destinations` (SEND1,
// SEND2, ... in order), its log kept as it comes.
struct SendingWatch {
    QTemporaryDir dir;
    QProcess process;
    QString log;
    QElapsedTimer clock;
    // A clean stop at the end rather than a kill, for a watcher that leaves
    // something outside the test's folder until it stops (a serial port's
    // lock file).
    bool stopCleanly = false;

    // `more`: further settings (templates, idle texts). A site that
    // follows a studio (`more` holding FOLLOW) has neither document nor
    // outputs.
    // `options`: the watcher's own (--status FILE).
    explicit SendingWatch(const QStringList &destinations, const QByteArray &title = "Звезда",
                          const QByteArray &more = {}, const QStringList &options = {})
    {
        const bool site = more.contains("<FOLLOW>");
        QByteArray settings = (site ? QByteArray() : baseSettings) + more;
        for (int i = 0; i < destinations.size(); ++i)
            settings += "<SEND" + QByteArray::number(i + 1) + ">" + destinations[i].toUtf8() +
                        "</SEND" + QByteArray::number(i + 1) + ">";
        put(dir.path(), "settings.txt", settings);
        put(dir.path(), "rusletters.txt", letters);
        if (!site)
            put(dir.path(), "doc.xml", doc(title));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C.UTF-8");
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardError, [this]() {
            log += QString::fromUtf8(process.readAllStandardError()).remove('\r');
        });
        clock.start();
        process.start(NOWPLAYING_WATCH_BIN, options + QStringList{dir.path()});
    }
    // When `text` first appeared in the log, in milliseconds since the
    // start; -1 when it does not within `ms`.
    qint64 logged(const QString &text, int ms = 5000)
    {
        if (!wait_until([&]() { return log.contains(text); }, ms))
            return -1;
        return clock.elapsed();
    }
    int count(const QString &text) const
    {
        return log.count(text);
    }
    ~SendingWatch()
    {
#ifndef Q_OS_WIN
        if (stopCleanly) {
            process.terminate();
            process.waitForFinished(10000);
        }
#endif
        process.kill();
        process.waitForFinished();
    }
};
