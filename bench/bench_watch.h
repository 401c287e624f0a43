// SPDX-License-Identifier: MIT
// A station folder for the sending benchmarks and the watcher running on it.
#pragma once

#include "bench_common.h"
#include "event_wait.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace bench {

// A folder whose settings send to `destinations` (SEND1, SEND2, ...), and
// the watcher on it, once its first pass is written and half a second has
// let its destinations connect.
inline void start_watch(const QString &watchBinary, const QTemporaryDir &dir,
                        const QStringList &destinations, QProcess &watch)
{
    QByteArray settings = "<XML>doc.xml</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
                          "<OUTXMLENC>UTF-8</OUTXMLENC><META>meta.txt</META>"
                          "<METASPLITTER> - </METASPLITTER><METAENC>UTF-8</METAENC>"
                          "<RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";
    for (int i = 0; i < destinations.size(); ++i)
        settings += "<SEND" + QByteArray::number(i + 1) + ">" + destinations[i].toUtf8() +
                    "</SEND" + QByteArray::number(i + 1) + ">";
    QFile::copy(QStringLiteral(EXAMPLE_DIR "/rusletters.txt"), dir.filePath("rusletters.txt"));
    replace_file(dir.filePath("settings.txt"), settings);
    replace_file(dir.filePath("doc.xml"), "<ARTIST>Start</ARTIST><NAME>0</NAME>");
    watch.setStandardErrorFile(QProcess::nullDevice());
    watch.start(watchBinary, {dir.path()});
    wait_until([&]() { return read_file(dir.filePath("rds.txt")) == "Start - 0"; }, 5000);
    wait_until([] { return false; }, 500);
}

} // namespace bench
