// SPDX-License-Identifier: MIT
#pragma once
// Shared by the tests that run a built program in a temporary folder.

#include "encoding.h"
#include "program_setup.h"
#include "text_file.h"

#include <QTextCodec>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

// Tests and rows that need what only Linux has, skipped on Windows by name
// ("function" for all its rows, "function(row)" for one), with the reason.
struct LinuxOnly {
    const char *name;
    const char *reason;
};
inline const LinuxOnly linuxOnly[] = {
    {"fifo_is_refused", "Windows has no FIFOs"},
    {"fifo_output", "Windows has no FIFOs"},
    {"pass(endless document)", "Windows has no /dev/zero"},
    {"pass(copy not written)", "Windows has no /dev/full"},
    {"pass(META not written)", "Windows has no /dev/full"},
    {"pass(RDS not written)", "Windows has no /dev/full"},
    {"bad_input(copy to /dev/zero)", "Windows has no /dev/zero"},
    {"bad_input(settings are a FIFO)", "Windows has no FIFOs"},
    {"bad_input(letters are a FIFO)", "Windows has no FIFOs"},
    {"bad_input(document is a FIFO)", "Windows has no FIFOs"},
    {"bad_input(RDS would replace the document through a link)", "Windows has no /proc"},
    {"traps(outputs over inputs)", "Windows has no /proc"},
    {"traps(document is a FIFO)", "Windows has no FIFOs"},
    {"identity(symbolic link)", "symbolic links need a privilege on Windows"},
    {"output_replaced", "modes, owners, symbolic links and inode numbers are Unix's"},
    {"output_not_written_whole", "needs a shell's file size limit (ulimit -f)"},
    {"bad_hours", "faketime works on Linux only"},
    {"bad_hour_ends", "faketime works on Linux only"},
    {"stop_requests", "POSIX signals"},
    {"folder_replaced(configuration folder replaced by rename)",
     "Windows does not rename a folder a running program is in"},
    {"stop_during_a_burst", "POSIX signals"},
    {"shutdown_waits_one_timeout", "POSIX signals"},
    {"watcher_end", "POSIX signals, and faketime"},
};

inline const char *windows_skip_reason()
{
#ifdef Q_OS_WIN
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    const QString row = function + "(" + QString::fromUtf8(QTest::currentDataTag()) + ")";
    for (const LinuxOnly &entry : linuxOnly)
        if (function == entry.name || row == entry.name)
            return entry.reason;
#endif
    return nullptr;
}

#define SKIP_IF_LINUX_ONLY()                                                                       \
    do {                                                                                           \
        if (const char *why = windows_skip_reason())                                               \
            QSKIP(why);                                                                            \
    } while (false)

// The bytes of a UTF-8 text in the locale encoding, as the programs write
// the RDS file: UTF-8 on Linux (they run with LC_ALL=C.UTF-8), the ANSI
// code page on Windows.
inline QByteArray in_locale(const QByteArray &utf8)
{
#ifdef Q_OS_WIN
    return codec_for_name(locale_encoding_name())->fromUnicode(QString::fromUtf8(utf8));
#else
    return utf8;
#endif
}

// A second name for a file (a hard link).
inline bool hard_link(const QString &existing, const QString &link)
{
#ifdef Q_OS_WIN
    return CreateHardLinkW(reinterpret_cast<const wchar_t *>(link.utf16()),
                           reinterpret_cast<const wchar_t *>(existing.utf16()), nullptr);
#else
    return ::link(QFile::encodeName(existing).constData(), QFile::encodeName(link).constData()) ==
           0;
#endif
}

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
#ifdef Q_OS_WIN
        QFAIL("no FIFOs on Windows: the row belongs in linuxOnly");
#else
        QCOMPARE(mkfifo(QFile::encodeName(QDir(folder).filePath(name)).constData(), 0600), 0);
#endif
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
    const QString command = prefix.isEmpty() ? program : prefix.first();
    const QStringList arguments =
        prefix.isEmpty() ? args : prefix.mid(1) + QStringList{program} + args;
    // A start refused by a loaded system (Wine's, above all) is not what a
    // test asks about: tried once more. A program that hangs is never retried.
    process.start(command, arguments);
    if (!process.waitForStarted(30000))
        process.start(command, arguments);
    Result r;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        r.status = process.exitCode();
    else
        process.kill(); // one that never ended counts as one that crashed
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
#ifdef Q_OS_WIN
    // Text written on Windows ends its lines with CR LF.
    r.out.replace("\r\n", "\n");
    r.err.replace("\r\n", "\n");
#endif
    return r;
}

#if defined(Q_OS_WIN) && defined(HOLD_FILE_BIN)
// Another program holding `path` open with `sharing` ("none", "read",
// "readwrite") for `ms` milliseconds (tests/helpers/hold_file.cpp); it has
// the file once started() returns true.
struct HeldFile {
    QProcess process;
    // With `content`, a file whose bytes it writes over `path` first.
    HeldFile(const QString &path, const QString &sharing, int ms, const QString &content = {})
    {
        QStringList args = {QDir::toNativeSeparators(path), sharing, QString::number(ms)};
        if (!content.isEmpty())
            args << QDir::toNativeSeparators(content);
        process.start(HOLD_FILE_BIN, args);
    }

    bool started()
    {
        QByteArray out;
        // Under Wine on a busy machine a program may take seconds to start.
        while (!out.contains("held") && process.waitForReadyRead(30000))
            out += process.readAllStandardOutput();
        return out.contains("held");
    }
    ~HeldFile()
    {
        process.waitForFinished(30000);
    }
};
#endif
