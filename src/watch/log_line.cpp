// SPDX-License-Identifier: MIT
#include "log_line.h"

#include "console.h"
#include "link_guard.h"
#include "output_file.h"
#include "outside_text.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QThread>

#include <cstdio>

namespace {

QMutex one;
QFile logFile;
qint64 limitBytes = defaultLogSizeBytes;
int keptFiles = defaultLogKeep;

QString kept(const QString &path, int n)
{
    return path + QLatin1Char('.') + QString::number(n);
}

// Where the full file waits while the old ones move up.
QString aside(const QString &path)
{
    return path + QStringLiteral(".rotating");
}

// The size at which a rotation that failed is tried again.
qint64 nextTry = 0;

// The full file, moved aside, becomes FILE.1, FILE.1 becomes FILE.2 and
// so on; the oldest is dropped.
void shift_in(const QString &path)
{
    QFile::remove(kept(path, keptFiles));
    for (int n = keptFiles - 1; n >= 1; --n)
        QFile::rename(kept(path, n), kept(path, n + 1));
    QFile::rename(aside(path), kept(path, 1));
}

// Begins a new log file once this one has grown past the limit; the old
// ones are kept as FILE.1 (the newest) to FILE.N, the oldest dropped.
// Called with `one` held, after a whole line is written: no line is ever
// split or lost. On Windows a program reading the log for a moment (a
// viewer, a virus scanner) keeps it from being renamed: tried again as a
// held output is, else the file grows on and a later line tries again.
void rotate_if_full()
{
    const qint64 size = logFile.size();
    if (size < qMax(limitBytes, nextTry))
        return;
    const QString path = logFile.fileName();
    logFile.close();
    // One a rotation left behind when the program was ended in its midst.
    if (QFileInfo::exists(aside(path)) && !QFileInfo(aside(path)).isSymLink())
        shift_in(path);
    // The full file moves aside before the old ones move up, so that a file
    // that cannot be moved leaves them as they are: moving them up at each
    // try would drop the oldest once per line.
    QElapsedTimer tried;
    tried.start();
    bool moved = false;
    while (!(moved = QFile::rename(path, aside(path))) && tried.elapsed() < heldRenameRetryMs)
        QThread::msleep(10);
    if (moved)
        shift_in(path);
    // Held, it grows on: tried again some lines later, not at each line
    // with its wait.
    nextTry = moved ? 0 : size + qMax<qint64>(limitBytes / 64, 4096);
    logFile.setFileName(path);
    // Another user may have put a link where the log was a moment ago.
    if (planted_link(path).isEmpty())
        logFile.open(QIODevice::Append);
}

} // namespace

QString stamped(const QDateTime &when, const QString &text)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + text;
}

void log_line(const QString &line)
{
    if (line.isEmpty())
        return;
    // A line never grows past the bound, whatever a peer sent: one endless
    // reply must not rotate the log's history away. A line break in a
    // folder's name must not forge a second line.
    const QString bounded = within_utf8_bytes(without_controls(line));
    const QMutexLocker lock(&one);
    if (logFile.isOpen()) {
        const QByteArray bytes = bounded.toUtf8() + '\n';
        if (logFile.write(bytes) == bytes.size() && logFile.flush()) {
            rotate_if_full();
            return;
        }
    }
    print_text(stderr, bounded + QLatin1Char('\n'));
}

QString log_to_file(const QString &path, qint64 sizeBytes, int keep)
{
    const QMutexLocker lock(&one);
    limitBytes = sizeBytes;
    keptFiles = qMax(1, keep);
    nextTry = 0;
    logFile.close();
    const QString planted = planted_link(path);
    if (!planted.isEmpty())
        return planted;
    logFile.setFileName(path);
    if (!logFile.open(QIODevice::Append))
        return logFile.errorString();
    rotate_if_full();
    return logFile.isOpen() ? QString() : logFile.errorString();
}

LogSink station_log(const QString &station)
{
    const QString prefix = station.isEmpty() ? QString() : station + QStringLiteral(": ");
    return [prefix](const QString &line) {
        if (!line.isEmpty())
            log_line(stamped(QDateTime::currentDateTime(), prefix + line));
    };
}
