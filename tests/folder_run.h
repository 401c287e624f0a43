// SPDX-License-Identifier: MIT
#pragma once
// Shared by the tests that run a built program in a temporary folder.

#include <QTextCodec>
#include <QtTest>

#include <sys/stat.h>

// Markers for a file's content: no such file, a 3 GiB file of holes, or a
// FIFO that nobody writes.
inline const QByteArray absent = "\x01(absent)";
inline const QByteArray sparse = "\x01(3 GiB sparse)";
inline const QByteArray fifo = "\x01(FIFO)";

// The letters file as it should be, in UTF-8.
inline const QByteArray letters = QStringLiteral("абвгдежзийклмнопрстуфхцчшщъыьэюя"
                                                 "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ")
                                      .toUtf8();

// UTF-16LE bytes of a UTF-8 text, with or without a byte-order mark. (Qt 5's
// encoder starts with a mark of its own, Qt 6's does not.)
inline QByteArray utf16le(const QByteArray &utf8, bool mark)
{
    QByteArray bytes = QTextCodec::codecForName("UTF-16LE")->fromUnicode(QString::fromUtf8(utf8));
    if (bytes.startsWith("\xFF\xFE"))
        bytes.remove(0, 2);
    return mark ? "\xFF\xFE" + bytes : bytes;
}

inline void put(const QString &folder, const QString &name, const QByteArray &bytes)
{
    if (bytes == absent)
        return;
    if (bytes == fifo) {
        QCOMPARE(mkfifo(QFile::encodeName(QDir(folder).filePath(name)).constData(), 0600), 0);
        return;
    }
    QFile file(QDir(folder).filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (bytes == sparse)
        QVERIFY(file.resize(qint64(3) << 30));
    else
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

inline QByteArray contents(const QString &folder, const QString &name)
{
    QFile file(QDir(folder).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : absent;
}

struct Result {
    int status = -1; // -1: crashed or did not finish
    QByteArray out, err;
};

// Runs `program` in `folder` with a fixed locale and time zone; `prefix` is
// a command that wraps it (faketime).
inline Result run_program(const QString &program, const QString &folder, const QStringList &args,
                          const QStringList &prefix = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("TZ", "UTC");
    // faketime preloads its library ahead of a sanitized binary's runtime.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    process.setProcessEnvironment(env);
    if (prefix.isEmpty())
        process.start(program, args);
    else
        process.start(prefix.first(), prefix.mid(1) + QStringList{program} + args);
    process.waitForFinished(60000);
    Result r;
    if (process.exitStatus() == QProcess::NormalExit)
        r.status = process.exitCode();
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}
