// SPDX-License-Identifier: MIT
// nowplaying-watch, run as built in a temporary folder: a pass after every
// way a playout program changes its document, outputs whole when it is
// stopped in the middle of a burst, and its arguments.
#include "event_wait.h"
#include "folder_run.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <csignal>

#ifndef Q_OS_WIN
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#endif

#ifdef Q_OS_WIN
// Only for the rows' data; the tests that send them are Linux-only.
#define SIGHUP 1
#endif

namespace {

QByteArray settings(const QByteArray &document = "doc.xml")
{
    return "<XML>" + document +
           "</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
           "<OUTXMLENC>UTF-8</OUTXMLENC><META>meta.txt</META><METASPLITTER> - </METASPLITTER>"
           "<METAENC>UTF-8</METAENC><RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";
}

QByteArray doc(const QByteArray &title)
{
    return "<ARTIST>Кино</ARTIST><NAME>" + title + "</NAME>";
}

// The settings, the letters and a document with the title Звезда.
void put_inputs(const QString &folder)
{
    put(folder, "settings.txt", settings());
    put(folder, "rusletters.txt", letters);
    put(folder, "doc.xml", doc("Звезда"));
}

// Waits for a file to hold `bytes`, up to ten seconds.
bool holds(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QElapsedTimer timer;
    timer.start();
    while (contents(folder, name) != bytes) {
        if (timer.elapsed() > 10000)
            return false;
        QThread::msleep(5);
    }
    return true;
}

// Waits for the log file to hold `text`, up to ten seconds.
bool wait_for_log(const QString &path, const QString &text)
{
    QElapsedTimer timer;
    timer.start();
    while (!QString::fromUtf8(contents(QFileInfo(path).path(), QFileInfo(path).fileName()))
                .contains(text)) {
        if (timer.elapsed() > 10000)
            return false;
        QThread::msleep(20); // (each read keeps the log from being renamed on Windows)
    }
    return true;
}

// Replaces a file's content the way the row asks.
void change(const QString &folder, const QString &name, const QByteArray &bytes, const QString &how)
{
    const QString path = QDir(folder).filePath(name);
    if (how == "rename") {
        // Replaced in one step, as playout programs do (rename; on Windows
        // MoveFileEx).
        put(folder, name + ".new", bytes);
#ifdef Q_OS_WIN
        // A file that anyone has open, even for a moment (the watcher
        // reading it), cannot be replaced on Windows: a playout program
        // tries again, and so does this.
        bool replaced = false;
        for (int attempt = 0; attempt < 100 && !replaced; ++attempt) {
            replaced = MoveFileExW(
                reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path + ".new").utf16()),
                reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                MOVEFILE_REPLACE_EXISTING);
            if (!replaced)
                QThread::msleep(10);
        }
        QVERIFY(replaced);
#else
        QCOMPARE(::rename(QFile::encodeName(path + ".new").constData(),
                          QFile::encodeName(path).constData()),
                 0);
#endif
    } else if (how == "delete and re-create") {
        QVERIFY(QFile::remove(path));
        QThread::msleep(100); // the playout program's pause between the two
        put(folder, name, bytes);
    } else if (how == "three chunks") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const int third = bytes.size() / 3;
        for (const QByteArray &chunk :
             {bytes.left(third), bytes.mid(third, third), bytes.mid(2 * third)}) {
            QVERIFY(file.write(chunk) == chunk.size() && file.flush());
            QThread::msleep(10);
        }
    } else {
        put(folder, name, bytes);
    }
}

struct Watch {
    QProcess process;
    // `prefix`: a command that wraps the watcher (faketime).
    explicit Watch(const QString &folder, const QStringList &args = {},
                   const QStringList &prefix = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C.UTF-8");
        env.insert("TZ", "UTC");
        // faketime preloads its library ahead of a sanitized binary's runtime.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        process.setProcessEnvironment(env);
        const QStringList command =
            prefix + QStringList{NOWPLAYING_WATCH_BIN} + args + QStringList{folder};
        process.start(command.first(), command.mid(1));
    }
    bool send(int signal)
    {
#ifdef Q_OS_WIN
        Q_UNUSED(signal)
        return false;
#else
        return ::kill(process.processId(), signal) == 0;
#endif
    }
    // Its exit status, or -1 when it did not end normally within `ms`.
    int finished(int ms)
    {
        if (!process.waitForFinished(ms) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }
    ~Watch()
    {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

class WatchTest : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
    void changes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("written in place") << "in place";
        QTest::newRow("replaced by rename") << "rename";
        QTest::newRow("deleted and written anew") << "delete and re-create";
        QTest::newRow("written in three chunks") << "three chunks";
    }
    // clang-format on
    void changes()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        put_inputs(dir.path());
        Watch watch(dir.path());
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        for (const QByteArray &title : {QByteArray("Кукушка"), QByteArray("Пачка сигарет")}) {
            change(dir.path(), "doc.xml", doc(title), how);
            QVERIFY(holds(dir.path(), "meta.txt", "Кино - " + title));
        }
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Pachka sigaret"));
        QVERIFY(holds(dir.path(), "out.xml", doc("Пачка сигарет")));
    }

    // A spelling fixed goes on air at once, not with the next track.
    void spellings_changed()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        put(dir.path(), "settings.txt", settings() + "<SPELLINGS>spellings.txt</SPELLINGS>");
        put(dir.path(), "spellings.txt", "Кино = Kino!");
        Watch watch(dir.path());
        QVERIFY(holds(dir.path(), "rds.txt", "Kino! - Zvezda"));
        change(dir.path(), "spellings.txt", "Кино = Cinema", "rename");
        QVERIFY(holds(dir.path(), "rds.txt", "Cinema - Zvezda"));
    }

    // The settings name a document in another folder, which then goes away
    // and comes back.
    void new_document_and_folder()
    {
        QTemporaryDir dir, feed;
        put_inputs(dir.path());
        Watch watch(dir.path());
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        const QString elsewhere = feed.path() + "/sub";
        QVERIFY(QDir().mkpath(elsewhere));
        put(elsewhere, "now.xml", doc("Кукушка"));
        change(dir.path(), "settings.txt", settings(QFile::encodeName(elsewhere) + "/now.xml"),
               "in place");
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Kukushka"));
#ifndef Q_OS_WIN
        // (Windows does not remove a folder a running program watches.)
        QVERIFY(QDir(elsewhere).removeRecursively());
        QVERIFY(QDir().mkpath(elsewhere));
        put(elsewhere, "now.xml", doc("Звезда"));
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
#endif
    }

    // A folder the watcher watches is replaced by another under the same
    // path: the watch moves to the new one.
    // clang-format off
    void folder_replaced_data()
    {
        QTest::addColumn<QString>("replaced");
        QTest::newRow("document folder renamed away and made anew") << "playout";
        QTest::newRow("configuration folder replaced by rename") << "config";
    }
    // clang-format on
    void folder_replaced()
    {
        SKIP_IF_LINUX_ONLY();
        QFETCH(QString, replaced);
        QTemporaryDir top;
        const QString config = top.filePath("config"), playout = top.filePath("playout");
        QVERIFY(QDir().mkpath(config) && QDir().mkpath(playout));
        put(config, "settings.txt", settings(QFile::encodeName(playout) + "/doc.xml"));
        put(config, "rusletters.txt", letters);
        put(playout, "doc.xml", doc("Звезда"));
        Watch watch(config);
        QVERIFY(holds(config, "rds.txt", "Kino - Zvezda"));
        const QString path = top.filePath(replaced);
        QVERIFY(QDir().mkpath(path + ".new"));
        if (replaced == "config") {
            put(path + ".new", "settings.txt", settings(QFile::encodeName(playout) + "/doc.xml"));
            put(path + ".new", "rusletters.txt", letters);
        }
        QVERIFY(QFile::rename(path, path + ".old"));
        QVERIFY(QFile::rename(path + ".new", path));
        if (replaced == "config") {
            QVERIFY(holds(config, "rds.txt", "Kino - Zvezda"));
            put(config, "settings.txt",
                settings(QFile::encodeName(playout) + "/doc.xml") + "<!-- edited -->");
        }
        put(playout, "doc.xml", doc("Кукушка"));
        QVERIFY(holds(config, "rds.txt", "Kino - Kukushka"));
        put(playout, "doc.xml", doc("Пачка сигарет"));
        QVERIFY(holds(config, "rds.txt", "Kino - Pachka sigaret"));
    }

    // A playout program that deletes its document and writes it anew causes
    // no false alarm: the watcher gives it time to come back.
    void document_deleted_and_written_anew()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        Watch watch(dir.path());
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        QVERIFY(QFile::remove(dir.filePath("doc.xml")));
        QThread::msleep(300);
        put(dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Kukushka"));
        // Each line is flushed as it is logged.
        watch.process.kill();
        QVERIFY(watch.process.waitForFinished(5000));
        const QByteArray log = watch.process.readAllStandardError();
        QVERIFY2(!log.contains("cant open XML"), log.constData());
    }

    // One watcher for a group of stations: each as if alone, its log lines
    // named by its folder, a folder missing at start waited for, and one
    // station's pass stuck on a FIFO nobody reads delaying no other.
    void group()
    {
        QTemporaryDir top;
        const QString a = top.filePath("studio-a"), b = top.filePath("studio-b"),
                      c = top.filePath("studio-c");
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
        put_inputs(a);
        put_inputs(b);
#ifndef Q_OS_WIN
        put(a, "rds.txt", fifo);
#endif
        Watch watch(a, {b, c});
        QVERIFY(holds(b, "rds.txt", "Kino - Zvezda"));
        QVERIFY(holds(a, "meta.txt", "Кино - Звезда"));
        // B gets its passes while A's pass waits for a reader of its FIFO.
        change(b, "doc.xml", doc("Кукушка"), "in place");
        QVERIFY(holds(b, "rds.txt", "Kino - Kukushka"));
        QVERIFY(QDir().mkpath(c));
        put_inputs(c);
        QVERIFY(holds(c, "rds.txt", "Kino - Zvezda"));
        watch.process.kill();
        QVERIFY(watch.process.waitForFinished(5000));
        const QString log = QString::fromUtf8(watch.process.readAllStandardError()).remove('\r');
        QVERIFY2(log.contains(QRegularExpression("\\d studio-b: written \"Кино - Звезда\"\n")),
                 qPrintable(log));
        QVERIFY2(log.contains("studio-c: the folder "), qPrintable(log));
        QVERIFY2(!log.contains(QRegularExpression("\\d written")), qPrintable(log));
        const int stuck = int(log.indexOf("studio-a: cant create RDS"));
        QVERIFY2(stuck < 0 || log.indexOf("studio-b: written \"Кино - Кукушка\"") < stuck,
                 qPrintable(log));
    }

    // Two stations whose folders have one name are told apart by the parts
    // of their paths that differ, in the log and in the status file; a
    // folder's name that holds a line break and a terminal's escape is one
    // clean line in the log and the metrics. A file both write is told.
    void stations_named_apart()
    {
        QTemporaryDir top;
#ifdef Q_OS_WIN
        const QString yName = "y", yShown = "y";
#else
        const QString yName = "y\x1b[2J\n", yShown = "y[2J ";
#endif
        const QString x = top.filePath("x/studio"), y = top.filePath(yName + "/studio");
        QVERIFY(QDir().mkpath(x) && QDir().mkpath(y));
        put_inputs(x);
        put_inputs(y);
        for (const QString &station : {x, y})
            put(station, "settings.txt", settings() + "<SEND1>file:../../label.txt</SEND1>");
        const QString status = top.filePath("status.json"), log = top.filePath("watch.log");
        Watch watch(x, {"--status", status, "--log", log, "--metrics", top.filePath("m.prom"), y});
        for (const QString &name : {QString("x/studio"), yShown + "/studio"})
            QVERIFY(
                wait_for_log(log, QDir::toNativeSeparators(name) + ": written \"Кино - Звезда\""));
        QVERIFY(wait_until(
            [&]() { return contents(top.path(), "status.json").count("\"station\"") == 2; }, 5000));
        // (A label writes a backslash twice.)
        const QString label = QDir::toNativeSeparators(yShown + "/studio").replace("\\", "\\\\");
        QVERIFY(contents(top.path(), "m.prom").contains("{station=\"" + label.toUtf8() + '"'));
        QVERIFY(contents(top.path(), "watch.log").contains("is also SEND1's file of "));
    }

#ifndef Q_OS_WIN
    // With every change notification instance of the user held elsewhere,
    // the checker warns, and a watcher says it polls (log and status) and
    // still passes every change.
    void notifications_run_out()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        QList<int> held;
        for (int fd = inotify_init(); fd >= 0; fd = inotify_init())
            held << fd;
        const Result check = run_program(NOWPLAYING_CHECK_BIN, dir.path(), {});
        const QString status = dir.filePath("status.json");
        Watch watch(dir.path(), {"--status", status});
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        for (const int fd : held)
            ::close(fd);
        QVERIFY2(check.out.contains("warning  this user holds "), check.out.constData());
        change(dir.path(), "doc.xml", doc("Кукушка"), "in place");
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Kukushka"));
        QVERIFY2(wait_until(
                     [&]() {
                         return contents(dir.path(), "status.json")
                             .contains("\"watching\": \"polling\"");
                     },
                     5000),
                 contents(dir.path(), "status.json").constData());
        watch.process.kill();
        QVERIFY(watch.process.waitForFinished(5000));
        QVERIFY(
            QString::fromUtf8(watch.process.readAllStandardError())
                .contains("the system gives no change notifications (the user's limit of change "
                          "notification instances is reached"));
    }

    // The service manager's side: a datagram socket as NOTIFY_SOCKET gets
    // READY=1 after the first pass, the status line, and WATCHDOG=1 while
    // every station's loop answers, none while one is stuck in a pass (here
    // a FIFO output nobody reads, waited for five seconds).
    void service_manager()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        const QByteArray socketPath = QFile::encodeName(dir.filePath("notify"));
        const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path);
        QCOMPARE(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        qputenv("NOTIFY_SOCKET", socketPath);
        qputenv("WATCHDOG_USEC", "1000000");
        Watch watch(dir.path());
        qunsetenv("NOTIFY_SOCKET");
        qunsetenv("WATCHDOG_USEC");
        QElapsedTimer clock;
        clock.start();
        QList<QPair<qint64, QByteArray>> got;
        const auto receive_until = [&](qint64 ms) {
            while (clock.elapsed() < ms) {
                pollfd ready = {fd, POLLIN, 0};
                if (poll(&ready, 1, 50) > 0) {
                    char buffer[4096];
                    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                    got.append({clock.elapsed(), QByteArray(buffer, int(qMax<ssize_t>(n, 0)))});
                }
            }
        };
        receive_until(3000);
        const auto said = [&](const QByteArray &message) {
            return std::any_of(got.begin(), got.end(),
                               [&](const auto &m) { return m.second == message; });
        };
        QVERIFY(said("READY=1"));
        QVERIFY(said("STATUS=on air: \"Кино - Звезда\""));
        QVERIFY(said("WATCHDOG=1"));
        put(dir.path(), "rds.txt", absent);
        QFile::remove(dir.filePath("rds.txt"));
        put(dir.path(), "rds.txt", fifo);
        const qint64 stuck = clock.elapsed();
        change(dir.path(), "doc.xml", doc("Кукушка"), "in place");
        receive_until(stuck + 4500);
        // No keep-alive for two seconds and more while the pass waits.
        qint64 last = stuck, longest = 0;
        for (const auto &m : got)
            if (m.first > stuck && m.second == "WATCHDOG=1") {
                longest = qMax(longest, m.first - last);
                last = m.first;
            }
        longest = qMax(longest, clock.elapsed() - last);
        ::close(fd);
        QVERIFY2(longest >= 2000, qPrintable(QString::number(longest)));
    }
#endif

    // A document written in one go is passed, and one written in two chunks
    // with a pause between them is waited for, and its pass is over the
    // whole: never "- - -" for a title cut in two.
    void writer_done_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("closed in one go") << 0;
        QTest::newRow("two chunks, 300 ms apart") << 300;
    }
    void writer_done()
    {
        QFETCH(int, pauseMs);
        QTemporaryDir dir;
        put_inputs(dir.path());
        Watch watch(dir.path(), {"--quiet", pauseMs ? "50" : "3000"});
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        const QByteArray whole = "<?xml version=\"1.0\"?><NowPlaying><ARTIST>Кино</ARTIST>"
                                 "<NAME>Кукушка</NAME></NowPlaying>";
        const int cut = pauseMs ? int(whole.indexOf("ушка")) : int(whole.size());
        QFile file(dir.filePath("doc.xml"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(whole.left(cut));
        file.close();
        QByteArrayList seen;
        while (clock.elapsed() < pauseMs) {
            seen << contents(dir.path(), "rds.txt");
            QThread::msleep(5);
        }
        if (cut < whole.size()) {
            QVERIFY(file.open(QIODevice::Append));
            file.write(whole.mid(cut));
            file.close();
        }
        // (How soon a whole document is passed is bench/watch's to measure.)
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Kukushka"));
        QVERIFY2(!seen.contains("- - -"), seen.join('|').constData());
    }

    // The Task Scheduler task the watcher registers on Windows (Wine's
    // schtasks does nothing, so its XML is what is tried): at startup, no
    // time limit, one instance, restarted on failure, the folders quoted as
    // the wide command line reads them back, a trailing quote (what Windows
    // makes of "C:\Мой эфир\") dropped.
    void scheduled_task()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("Мой эфир");
        QVERIFY(QDir().mkpath(folder));
#ifdef Q_OS_WIN
        const QString typed = folder + '"';
#else
        const QString typed = folder;
#endif
        const Result r = run_program(NOWPLAYING_WATCH_BIN, dir.path(),
                                     {"--print-task", "--status", "s.json", "--quiet-log", typed});
        QCOMPARE(r.status, 0);
        QXmlStreamReader xml(r.out);
        QMap<QString, QString> values; // each element's text, by name
        QString element;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement())
                values.insert(element = xml.name().toString(), QString());
            else if (xml.isCharacters() && !xml.isWhitespace())
                values[element] = xml.text().toString();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(values.value("MultipleInstancesPolicy"), QString("IgnoreNew"));
        QCOMPARE(values.value("ExecutionTimeLimit"), QString("PT0S"));
        QVERIFY(values.contains("BootTrigger") && values.contains("RestartOnFailure"));
        QCOMPARE(values.value("Interval"), QString("PT1M")); // started again within a minute
        // Every option it was given, relative paths taken from where it started.
        QVERIFY2(values.value("Arguments")
                     .contains(" --status " + QDir::toNativeSeparators(dir.filePath("s.json")) +
                               " --quiet-log \"" + QDir::toNativeSeparators(folder) + '"'),
                 qPrintable(values.value("Arguments")));
    }

    // A document changed during a bad hour is passed over when the hour
    // ends, not at the next change.
    void bad_hour_ends()
    {
        SKIP_IF_LINUX_ONLY();
        const QString faketime = QStandardPaths::findExecutable("faketime");
        if (faketime.isEmpty())
            QSKIP("faketime is not installed");
        QTemporaryDir dir;
        // Monday, two seconds before hour 11; hour 10 is a bad hour.
        put(dir.path(), "settings.txt", settings() + "<TIME1>10</TIME1>");
        put(dir.path(), "rusletters.txt", letters);
        put(dir.path(), "doc.xml", doc("Звезда"));
        Watch watch(dir.path(), {}, {faketime, "-f", "@2026-12-07 10:59:58"});
        watch.process.setReadChannel(QProcess::StandardError);
        QByteArray log;
        while (!log.contains("blocked hour") && watch.process.waitForReadyRead(10000))
            log += watch.process.readAllStandardError();
        QVERIFY2(log.contains("blocked hour"), log.constData());
        put(dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Kukushka"));
    }

#ifdef Q_OS_WIN
    // A file held by another program when the track changes costs no track:
    // the watcher tries again until the pass gets through, and logs the
    // failure once.
    // clang-format off
    void held_by_another_program_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sharing");
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<QByteArray>("failure");
        QTest::newRow("RDS file held by a reader") << "rds.txt" << "read" << 700 << QByteArray("cant create RDS");
        // Longer than the second a deleted document is given to come back.
        QTest::newRow("document written and held without sharing") << "doc.xml" << "none" << 1500 << QByteArray("cant open XML");
    }
    // clang-format on
    void held_by_another_program()
    {
        QFETCH(QString, file);
        QFETCH(QString, sharing);
        QFETCH(int, holdMs);
        QTemporaryDir dir;
        put_inputs(dir.path());
        Watch watch(dir.path());
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        {
            QString content;
            if (file == "doc.xml") {
                put(dir.path(), "next.xml", doc("Кукушка"));
                content = dir.filePath("next.xml");
            }
            HeldFile held(dir.filePath(file), sharing, holdMs, content);
            QVERIFY(held.started());
            if (content.isEmpty())
                put(dir.path(), "doc.xml", doc("Кукушка"));
        }
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Kukushka"));
        watch.process.kill();
        QVERIFY(watch.process.waitForFinished(5000));
        const QByteArray log = watch.process.readAllStandardError();
        QFETCH(QByteArray, failure);
        QVERIFY2(log.count(failure) <= 1, log.constData());
    }
#endif

    // Stop requests are answered at once, even while a pass waits for the
    // reader of a FIFO output, and a closed terminal is one of them.
    // clang-format off
    void stop_requests_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("fifoOutput");
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGTERM while waiting for a FIFO's reader") << int(SIGTERM) << true;
    }
    // clang-format on
    void stop_requests()
    {
        SKIP_IF_LINUX_ONLY();
        QFETCH(int, signal);
        QFETCH(bool, fifoOutput);
        QTemporaryDir dir;
        put_inputs(dir.path());
        if (fifoOutput)
            put(dir.path(), "rds.txt", fifo);
        Watch watch(dir.path());
        QVERIFY(holds(dir.path(), "meta.txt", "Кино - Звезда"));
        QVERIFY(watch.send(signal));
        QCOMPARE(watch.finished(1000), 0);
    }

    // Stopped in the middle of a burst of changes, the watcher finishes the
    // pass in progress: every output holds one whole version.
    void stop_during_a_burst()
    {
        SKIP_IF_LINUX_ONLY();
        QTemporaryDir dir;
        put_inputs(dir.path());
        Watch watch(dir.path(), {"--quiet", "0"});
        QVERIFY(holds(dir.path(), "rds.txt", "Kino - Zvezda"));
        const QByteArray titles[] = {"Кукушка", "Группа крови, концерт в Лужниках 1988 года"};
        for (int i = 0; i < 200; ++i) {
            // By rename: a reader never sees a half-written version.
            change(dir.path(), "doc.xml", doc(titles[i % 2]), "rename");
            if (i == 100)
                QVERIFY(watch.send(SIGTERM));
        }
        QCOMPARE(watch.finished(10000), 0);
        // All three from one version (the first, if no pass came between).
        const QByteArray rds = contents(dir.path(), "rds.txt");
        const QByteArray versions[][2] = {
            {"Звезда", "Kino - Zvezda"},
            {titles[0], "Kino - Kukushka"},
            {titles[1], "Kino - Gruppa krovi, kontsert v Luzhnikah 1988 goda"}};
        const auto version = std::find_if(std::begin(versions), std::end(versions),
                                          [&](const auto &v) { return v[1] == rds; });
        QVERIFY2(version != std::end(versions), rds);
        QCOMPARE(contents(dir.path(), "meta.txt"), "Кино - " + (*version)[0]);
        QCOMPARE(contents(dir.path(), "out.xml"), doc((*version)[0]));
    }

    // The log: when the watcher starts (version, folders), each pass, when
    // it stops, in a file of its own renamed to FILE.1 past 1 MiB; and a
    // second watcher on the folder ends at once.
    void log_and_arguments()
    {
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settings());
        put(dir.path(), "rusletters.txt", letters);
        const QString logFile = dir.filePath("watch.log");
        put(dir.path(), "watch.log", QByteArray(1024 * 1024, 'x'));
        put(dir.path(), "watch.log.1", "older");
        {
            Watch watch(dir.path(), {"--log", logFile, "--log-size", "1M", "--log-keep", "2"});
            QVERIFY(wait_for_log(logFile, "cant open XML"));
            QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, dir.path(), {dir.path()}).status, 75);
#ifndef Q_OS_WIN
            QVERIFY(watch.send(SIGTERM));
            QVERIFY(wait_for_log(logFile, "nowplaying-watch stopped"));
#endif
        }
        const QString log = QString::fromUtf8(contents(dir.path(), "watch.log")).remove('\r');
        QVERIFY2(
            QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                               "nowplaying-watch " NOWPLAYING_VERSION " started for .+\n"
                               "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} cant open XML\n")
                .match(log)
                .hasMatch(),
            qPrintable(log));
        QCOMPARE(QFileInfo(dir.filePath("watch.log.1")).size(), 1024 * 1024);
        QCOMPARE(contents(dir.path(), "watch.log.2"), QByteArray("older"));
        QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, dir.path(), {"--version"}).out,
                 QByteArray("nowplaying-watch " NOWPLAYING_VERSION "\n"));
        QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, dir.path(), {"/nonexistent/folder"}).status, 2);
        QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, dir.path(), {"--quiet", "soon"}).status, 64);
        for (const char *size : {"63K", "1025M", "17179869185G"})
            QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, dir.path(), {"--log-size", size}).status,
                     64);
        const QByteArray help = run_program(NOWPLAYING_WATCH_BIN, dir.path(), {"--help"}).out;
        for (const char *option :
             {"--log-size", "--log-keep", "--status", "--metrics", "--status-page"})
            QVERIFY2(help.contains(option), help.constData());
    }

#ifdef Q_OS_WIN
    // A log a viewer holds open (Windows) grows on; no old one is dropped.
    void held_log_keeps_the_old_ones()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        const QString logFile = dir.filePath("watch.log");
        put(dir.path(), "watch.log", QByteArray(1024 * 1024, 'x'));
        put(dir.path(), "watch.log.1", "older");
        put(dir.path(), "watch.log.2", "oldest");
        QFile viewer(logFile);
        QVERIFY(viewer.open(QIODevice::ReadOnly));
        Watch watch(dir.path(), {"--log", logFile, "--log-size", "1M", "--log-keep", "2"});
        QVERIFY(wait_for_log(logFile, "written"));
        QCOMPARE(contents(dir.path(), "watch.log.1"), QByteArray("older"));
        QCOMPARE(contents(dir.path(), "watch.log.2"), QByteArray("oldest"));
    }
#endif

    // Relative files are taken from the folder the watcher was started in,
    // whatever folder it serves; one that cannot be written at start ends
    // it with its reason, as does one that is a station's file or another
    // of them.
    void paths_from_the_start_folder()
    {
        QTemporaryDir start;
        const QString station = start.filePath("station");
        QVERIFY(QDir().mkpath(station));
        put_inputs(station);
        const Result missing = run_program(NOWPLAYING_WATCH_BIN, start.path(),
                                           {"--status", "gone/status.json", station});
        QCOMPARE(missing.status, 73);
        QVERIFY2(missing.err.contains("cannot write " +
                                      QFile::encodeName(start.filePath("gone/status.json"))),
                 missing.err.constData());
#ifndef Q_OS_WIN
        // A FIFO there, with no reader, ends it too rather than holding it.
        QVERIFY(mkfifo(QFile::encodeName(start.filePath("fifo")).constData(), 0600) == 0);
        QCOMPARE(
            run_program(NOWPLAYING_WATCH_BIN, start.path(), {"--status", "fifo", station}).status,
            73);
#endif
        const Result onSettings = run_program(NOWPLAYING_WATCH_BIN, start.path(),
                                              {"--log", "station/settings.txt", station});
        QCOMPARE(onSettings.status, 64);
        QVERIFY2(onSettings.err.contains("is the settings file"), onSettings.err.constData());
        QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, start.path(), {"--log", "x", "--metrics", "./x"})
                     .status,
                 64);
        QCOMPARE(run_program(NOWPLAYING_WATCH_BIN, start.path(), {"station", "./station/"}).status,
                 64);
        QProcess watch;
        watch.setWorkingDirectory(start.path());
        watch.start(NOWPLAYING_WATCH_BIN, {"--log", "w.log", "--status", "s.json", station});
        QVERIFY(wait_for_log(start.filePath("w.log"), "written"));
        QVERIFY(QFile::exists(start.filePath("s.json")));
        watch.kill();
        watch.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(WatchTest)
#include "tst_watch.moc"
