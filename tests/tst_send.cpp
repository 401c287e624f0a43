// SPDX-License-Identifier: MIT
// nowplaying-watch sending each pass's text to its destinations, against
// loopback fakes: the bytes each kind gets over the wire, destinations that
// refuse, hang, answer slowly or wrongly, or close in mid-reply (none of
// which may delay the files or another destination), newest text only, no
// repeats, periodic resends, and shutdown with a send in flight.
#include "event_wait.h"
#include "fake_destination.h"
#include "folder_run.h"
#include "sending_watch.h"
#include "server_skip.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <optional>

namespace {

QString with_port(QString url, quint16 port)
{
    return url.replace("PORT", QString::number(port));
}

} // namespace

class SendTest : public QObject {
    Q_OBJECT
private slots:
    // What each kind of destination gets over the wire. For HTTP, the
    // request line and the headers that matter (Qt adds its own).
    // clang-format off
    void wire_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QList<QByteArray>>("expected");
        const QByteArray http200 = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK";
        const QByteArray iceDone = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 111\r\n\r\n"
                                   "<?xml version=\"1.0\"?>\n<iceresponse><message>Metadata update successful</message><return>1</return></iceresponse>\n";
        QTest::newRow("shoutcast 1") << int(FakeDestination::Http) << http200 << "shoutcast://:pw@127.0.0.1:PORT/"
            << QList<QByteArray>{"GET /admin.cgi?mode=updinfo&pass=pw&song=%D0%9A%D0%B8%D0%BD%D0%BE%20-%20%D0%97%D0%B2%D0%B5%D0%B7%D0%B4%D0%B0 HTTP/1.1\r\n",
                                 "\r\nUser-Agent: Mozilla/5.0 (compatible; nowplaying-watch/"};
        QTest::newRow("shoutcast 2") << int(FakeDestination::Http) << http200 << "shoutcast://:pw@127.0.0.1:PORT/?sid=3"
            << QList<QByteArray>{"&sid=3 HTTP/1.1\r\n"};
        QTest::newRow("icecast in windows-1251") << int(FakeDestination::Http) << iceDone
            << "icecast://source:pw@127.0.0.1:PORT/live?charset=windows-1251"
            << QList<QByteArray>{"GET /admin/metadata?mode=updinfo&mount=/live&song=%CA%E8%ED%EE%20-%20%C7%E2%E5%E7%E4%E0&charset=windows-1251 HTTP/1.1\r\n",
                                 "\r\nAuthorization: Basic c291cmNlOnB3\r\n"};
        QTest::newRow("encoder, text") << int(FakeDestination::Encoder) << QByteArray("+\r\n") << "rds+tcp://127.0.0.1:PORT"
            << QList<QByteArray>{"TEXT=Kino - Zvezda\r\n"};
        QTest::newRow("encoder, rt1 and RT+") << int(FakeDestination::Encoder) << QByteArray("OK\r\n")
            << "rds+tcp://127.0.0.1:PORT?dialect=rt1&rtplus=1" << QList<QByteArray>{"RT1=Kino - Zvezda\r\n", "RT1+=4,0,3,1,7,5\r\n"};
        QTest::newRow("encoder, plain") << int(FakeDestination::Encoder) << QByteArray()
            << "rds+tcp://127.0.0.1:PORT?dialect=plain" << QList<QByteArray>{"RT Kino - Zvezda\n"};
        QTest::newRow("encoder over UDP") << int(FakeDestination::Udp) << QByteArray() << "rds+udp://127.0.0.1:PORT?rtplus=1"
            << QList<QByteArray>{"TEXT=Kino - Zvezda\r\n", "RTP=4,0,4,1,7,6\r\n"};
        QTest::newRow("encoder, text, a static PS") << int(FakeDestination::Encoder) << QByteArray("+\r\n")
            << "rds+tcp://127.0.0.1:PORT?ps=ROCK%20FM" << QList<QByteArray>{"PS=ROCK FM \r\n", "TEXT=Kino - Zvezda\r\n"};
        QTest::newRow("encoder, PS in pages, the text between the first and second")
            << int(FakeDestination::Encoder) << QByteArray("+\r\n") << "rds+tcp://127.0.0.1:PORT?ps=page&ps-seconds=2"
            << QList<QByteArray>{"PS=Kino -  \r\n", "TEXT=Kino - Zvezda\r\n", "PS=Zvezda  \r\n", "PS=Kino -  \r\n"};
        QTest::newRow("UECP, silent encoder") << int(FakeDestination::UecpEncoder) << QByteArray()
            << "rds+tcp://127.0.0.1:PORT?dialect=uecp"
            << QList<QByteArray>{QByteArray::fromHex("fe000000120a00000e014b696e6f202d205a76657a646161afff")};
        QTest::newRow("UECP, acknowledged, addressed, static PS") << int(FakeDestination::UecpEncoder)
            << QByteArray::fromHex("fe0000000218001555ff")
            << "rds+tcp://127.0.0.1:PORT?dialect=uecp&site=5&encoder=3&dsn=1&psn=2&ps=ROCK%20FM"
            << QList<QByteArray>{QByteArray::fromHex("fe0143000b020102524f434b20464d20236bff"),
                                 QByteArray::fromHex("fe014300120a01020e014b696e6f202d205a76657a646129b1ff")};
        QTest::newRow("web hook") << int(FakeDestination::Http) << http200 << "http://127.0.0.1:PORT/hook"
            << QList<QByteArray>{"POST /hook HTTP/1.1\r\n", "\r\nContent-Type: application/json\r\n",
                                 "\r\n\r\n{\"artist\":\"Кино\",\"fields\":{\"ARTIST\":\"Кино\",\"NAME\":\"Звезда\"},\"id\":\"",
                                 "\"meta\":\"Кино - Звезда\",\"rds\":\"Kino - Zvezda\",\"text\":\"Кино - Звезда\",\"time\":\""};
    }
    // clang-format on
    void wire()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, reply);
        QFETCH(QString, url);
        QFETCH(QList<QByteArray>, expected);
        FakeDestination fake(FakeDestination::Kind(kind), {reply});
        SendingWatch watch({with_port(url, fake.port())});
        QVERIFY2(watch.logged("SEND1 ") >= 0, qPrintable(watch.log));
        QVERIFY2(watch.logged(": sent \"") >= 0, qPrintable(watch.log));
        const QByteArray all = fake.received.join(QByteArray("|"));
        if (kind == FakeDestination::Http) {
            QCOMPARE(fake.received.size(), 1);
            for (const QByteArray &part : expected)
                QVERIFY2(all.contains(part), all.constData());
        } else {
            QVERIFY(wait_until([&]() { return fake.received.size() >= expected.size(); }, 10000));
            QCOMPARE(fake.received.mid(0, expected.size()), expected);
        }
        QVERIFY2(fake.faults.isEmpty(), qPrintable(fake.faults.join('\n')));
        // The password is never shown; the log names the station's folder,
        // whose random name may hold the same two letters.
        const QString shown =
            QString(watch.log).remove(watch.dir.path()).remove(QDir(watch.dir.path()).dirName());
        QVERIFY2(!shown.contains("pw"), qPrintable(watch.log));
    }

    // A destination that misbehaves gets one log line, and holds up neither
    // the files nor a sound destination beside it.
    // clang-format off
    void misbehaving_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("closeAfter");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("holds"); // it holds a send until its timeout
        const int encoder = FakeDestination::Encoder, http = FakeDestination::Http;
        QTest::newRow("connection refused") << -1 << QByteArray() << 0 << false << "rds+tcp://127.0.0.1:PORT"
            << "SEND1 rds+tcp://127.0.0.1:PORT: not delivered \"Kino - Zvezda\": Connection refused; trying again in 1 s" << false;
        QTest::newRow("never answering") << encoder << QByteArray() << 0 << false << "rds+tcp://127.0.0.1:PORT?timeout=1.5"
            << "not delivered \"Kino - Zvezda\": no answer within 1.5 s" << true;
        QTest::newRow("answering slowly") << encoder << QByteArray("OK\r\n") << 600 << false << "rds+tcp://127.0.0.1:PORT"
            << "SEND1 rds+tcp://127.0.0.1:PORT: sent \"Kino - Zvezda\"" << true;
        QTest::newRow("401") << http << QByteArray("HTTP/1.1 401 Unauthorized\r\nContent-Length: 12\r\n\r\nUnauthorized") << 0 << false
            << "shoutcast://:wrong@127.0.0.1:PORT/" << "not delivered \"Кино - Звезда\": the password is refused (HTTP 401 \"Unauthorized\"); trying again in 60 s" << false;
        QTest::newRow("icecast mount refusing updates") << http
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 73\r\n\r\n<iceresponse><message>Mountpoint will not accept updates</message></iceresponse>") << 0 << false
            << "icecast://source:pw@127.0.0.1:PORT/live" << "not delivered \"Кино - Звезда\": HTTP 200" << false;
        QTest::newRow("NO") << encoder << QByteArray("NO\r\n") << 0 << false << "rds+tcp://127.0.0.1:PORT"
            << "not delivered \"Kino - Zvezda\": refused: \"NO\"" << false;
        QTest::newRow("closing in mid-reply") << encoder << QByteArray("O") << 0 << true << "rds+tcp://127.0.0.1:PORT"
            << "not delivered \"Kino - Zvezda\": closed in mid-reply: \"O\"" << false;
        QTest::newRow("web hook never answering") << http << QByteArray() << 0 << false << "http://127.0.0.1:PORT/hook?timeout=1.5"
            << "not delivered \"Кино - Звезда\": no answer within 1.5 s" << true;
        QTest::newRow("endless reply from an encoder") << encoder << QByteArray(1000, 'x') << 0 << false << "rds+tcp://127.0.0.1:PORT"
            << "not delivered \"Kino - Zvezda\": a reply of more than 1024 bytes without a line end: \"" + QString(200, 'x') + "...\"" << false;
        QTest::newRow("endless HTTP body") << http << QByteArray("HTTP/1.1 200 OK\r\n\r\n") + QByteArray(1000, 'x') << 0 << false
            << "http://127.0.0.1:PORT/hook" << "HTTP 200 with a body of more than 64 KiB: \"" + QString(200, 'x') + "...\"" << false;
        QTest::newRow("a reply line of 1024 bytes") << encoder << QByteArray(1024, 'y') + "\n" << 0 << false << "rds+tcp://127.0.0.1:PORT"
            << "not delivered \"Kino - Zvezda\": unexpected reply: \"" + QString(200, 'y') + "...\"" << false;
        QTest::newRow("UECP refused") << int(FakeDestination::UecpEncoder) << QByteArray::fromHex("fe00000002180545f0ff") << 0 << false
            << "rds+tcp://127.0.0.1:PORT?dialect=uecp" << "not delivered \"Kino - Zvezda\": refused: a wrong programme service number (code 5)" << false;
        QTest::newRow("web hook moved") << http << QByteArray("HTTP/1.1 301 Moved Permanently\r\nLocation: https://hooks.example/new?token=SECRET1\r\nContent-Length: 0\r\n\r\n") << 0 << false
            << "http://127.0.0.1:PORT/hook" << "not delivered \"Кино - Звезда\": HTTP 301 \"\": it has moved to \"https://hooks.example/new?token=...\", the address to set instead" << false;
        QTest::newRow("UECP refused after a kilobyte of chatter") << int(FakeDestination::UecpEncoder) << QByteArray(1100, 'x') + QByteArray::fromHex("fe00000002180545f0ff") << 0 << false
            << "rds+tcp://127.0.0.1:PORT?dialect=uecp" << "not delivered \"Kino - Zvezda\": refused: a wrong programme service number (code 5)" << false;
        QTest::newRow("control characters in a reply") << encoder << QByteArray("\x1b[31mNO\x07\r\n") << 0 << false
            << "rds+tcp://127.0.0.1:PORT" << "not delivered \"Kino - Zvezda\": unexpected reply: \"[31mNO\"" << false;
    }
    // clang-format on
    void misbehaving()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, reply);
        QFETCH(int, delayMs);
        QFETCH(bool, closeAfter);
        QFETCH(QString, url);
        QFETCH(QString, logged);
        QFETCH(bool, holds);
        std::unique_ptr<FakeDestination> bad;
        const quint16 port = kind < 0 ? refusing_port() : 0;
        const bool endless =
            QTest::currentDataTag() == QLatin1String("endless reply from an encoder") ||
            QTest::currentDataTag() == QLatin1String("endless HTTP body");
        if (kind >= 0)
            bad = std::make_unique<FakeDestination>(
                FakeDestination::Kind(kind), FakeBehaviour{reply, delayMs, closeAfter, endless});
        FakeDestination good(FakeDestination::Encoder, {"OK\r\n"});
        const quint16 badPort = bad ? bad->port() : port;
        SendingWatch watch(
            {with_port(url, badPort), with_port("rds+tcp://127.0.0.1:PORT", good.port())});
        QVERIFY2(watch.logged(" written") >= 0, qPrintable(watch.log));
        // The sound destination has its text before the other's send is over.
        bool goodFirst = false;
        QVERIFY2(wait_until(
                     [&]() {
                         goodFirst = goodFirst || (!good.received.isEmpty() &&
                                                   !watch.log.contains(with_port(logged, badPort)));
                         return watch.log.contains(with_port(logged, badPort));
                     },
                     5000),
                 qPrintable(watch.log));
        QVERIFY2(goodFirst || !holds, qPrintable(watch.log));
        // A line from a peer is bounded, whatever it sent.
        for (const QString &line : watch.log.split('\n'))
            QVERIFY2(line.toUtf8().size() <= 1024, qPrintable(line.left(300)));
        QVERIFY2(!watch.log.contains(QChar(0x1b)), qPrintable(watch.log));
        // The next track's files and the sound destination's text come while
        // the other may still be failing.
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until(
            [&]() { return contents(watch.dir.path(), "rds.txt") == "Kino - Kukushka"; }, 3000));
        QVERIFY(wait_until([&]() { return good.received.size() == 2; }, 3000));
        QCOMPARE(good.received.last(), QByteArray("TEXT=Kino - Kukushka\r\n"));
        // One line when it starts failing, not one per retry.
        QVERIFY2(watch.count("SEND1 ") <= 2, qPrintable(watch.log));
    }

    // A destination that is down (refusing) or hanging while the next
    // track comes gets only the newest text when it is back, logged once:
    // the text replaced before it could be sent is never sent.
    void newest_text_only_data()
    {
        QTest::addColumn<bool>("hanging");
        QTest::addColumn<QList<QByteArray>>("received");
        QTest::newRow("down") << false << QList<QByteArray>{"TEXT=Kino - Kukushka\r\n"};
        QTest::newRow("hanging") << true
                                 << QList<QByteArray>{"TEXT=Kino - Zvezda\r\n",
                                                      "TEXT=Kino - Kukushka\r\n"};
    }
    void newest_text_only()
    {
        QFETCH(bool, hanging);
        const quint16 port = hanging ? 0 : refusing_port();
        std::unique_ptr<FakeDestination> encoder;
        if (hanging)
            encoder = std::make_unique<FakeDestination>(FakeDestination::Encoder, FakeBehaviour{});
        SendingWatch watch(
            {with_port("rds+tcp://127.0.0.1:PORT?timeout=1", encoder ? encoder->port() : port)});
        QVERIFY(watch.logged(" written") >= 0);
        // The next track while the first is being sent, or has failed.
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until([&]() { return watch.count(" written") == 2; }, 3000));
        QVERIFY(watch.logged("not delivered \"Kino - Zvezda\"") >= 0);
        if (encoder)
            encoder->behaviour.reply = "OK\r\n";
        else
            encoder = std::make_unique<FakeDestination>(FakeDestination::Encoder,
                                                        FakeBehaviour{"OK\r\n"}, port);
        QVERIFY2(watch.logged("back: sent \"Kino - Kukushka\" after") >= 0, qPrintable(watch.log));
        QTest::qWait(300);
        // A hanging encoder may get the newest text twice (once while it
        // hangs); the text it replaced never comes again.
        QList<QByteArray> received = encoder->received;
        received.erase(std::unique(received.begin(), received.end()), received.end());
        QTEST(received, "received");
        QCOMPARE(watch.count("not delivered"), 1);
    }

    // Files for what polls them: a DAB+ encoder's label with its DL Plus
    // tags, and a feeder's file that gets the slogan between songs, while
    // the pass's own files keep what they always held and a file that is
    // the station's settings is never written.
    void label_and_feed_files()
    {
        SendingWatch watch({"dls:dls.txt?dlplus=1", "file:feed.txt?text=meta&charset=UTF-8",
                            "file:./settings.txt"},
                           "Звезда", "<SEND2IDLE>Радио {STATION}</SEND2IDLE>");
        FakeDabEncoder dab(QDir(watch.dir.path()).filePath("dls.txt"));
        const FakeDabEncoder::Label label{"Kino - Zvezda", {"4 0 3", "1 7 5"}};
        QVERIFY2(
            wait_until([&]() { return !dab.shown.isEmpty() && dab.shown.last() == label; }, 5000),
            qPrintable(watch.log));
        QVERIFY(wait_until(
            [&]() { return contents(watch.dir.path(), "feed.txt") == "Кино - Звезда"; }, 3000));
        QVERIFY2(watch.logged("SEND3 file:./settings.txt: not used: writes") >= 0,
                 qPrintable(watch.log));
        QVERIFY(contents(watch.dir.path(), "settings.txt").contains("<SEND3>"));
        put(watch.dir.path(), "doc.xml", "<STATION>Ночь</STATION><NAME></NAME>");
        QVERIFY2(
            wait_until([&]() { return contents(watch.dir.path(), "feed.txt") == "Радио Ночь"; },
                       3000),
            qPrintable(watch.log));
        QCOMPARE(contents(watch.dir.path(), "rds.txt"), QByteArray("- - -"));
        QTest::qWait(200);
        QCOMPARE(dab.shown.size(), 1); // never a half-written label, and no label for a jingle
    }

    // What watches the watcher: a status file where one destination fails
    // and comes back while another goes on, and a metrics file that
    // Prometheus' own checker takes.
    void status_and_metrics()
    {
        FakeDestination good(FakeDestination::Encoder, {"OK\r\n"});
        const quint16 down = refusing_port();
        QTemporaryDir files;
        const QString status = files.filePath("status.json"),
                      metrics = files.filePath("metrics.prom");
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT", good.port()),
                            with_port("rds+tcp://127.0.0.1:PORT", down)},
                           "Звезда", {}, {"--status", status, "--metrics", metrics});
        const auto destination = [&](int i) {
            const QJsonObject station =
                QJsonDocument::fromJson(contents(files.path(), "status.json"))
                    .object()["stations"]
                    .toArray()
                    .at(0) // (at(): a status file not yet written has no rows)
                    .toObject();
            return station["destinations"].toArray().at(i).toObject();
        };
        QVERIFY2(wait_until([&]() { return destination(1)["state"] == "failing"; }, 5000),
                 contents(files.path(), "status.json").constData());
        QVERIFY(
            wait_until([&]() { return destination(0)["lastDelivered"] == "Kino - Zvezda"; }, 3000));
        // For a person: the failing one first.
        const Result shown = run_program(NOWPLAYING_CHECK_BIN, files.path(), {"--status", status});
        QCOMPARE(shown.status, 1);
        QVERIFY2(shown.out.startsWith("ok      the watcher is running (heartbeat ") &&
                     shown.out.split('\n').value(1).startsWith("FAILING ") &&
                     shown.out.contains(" SEND2 rds+tcp://127.0.0.1:"),
                 shown.out.constData());
        FakeDestination back(FakeDestination::Encoder, {"OK\r\n"}, down);
        QVERIFY(wait_until([&]() { return destination(1)["state"] == "ok"; }, 5000));
        // How many tries failed before the encoder came back depends on
        // how busy the machine is; the status and the metrics agree on it.
        const int failures = destination(1)["failures"].toInt();
        QVERIFY(failures >= 1);
        QCOMPARE(destination(1)["sends"].toInt(), failures + 1);
        const QByteArray text = contents(files.path(), "metrics.prom");
        QVERIFY2(text.contains("nowplaying_sends_total{station=\"" +
                               QDir(watch.dir.path()).dirName().toUtf8() +
                               "\",destination=\"SEND2\",result=\"failed\"} " +
                               QByteArray::number(failures)),
                 text.constData());
#ifndef Q_OS_WIN // (promtool is a Linux program; the Linux run checks the same file)
        const QString promtool = QStandardPaths::findExecutable("promtool");
        if (promtool.isEmpty() && qgetenv("NOWPLAYING_NO_INSTALL") == "1")
            QSKIP("promtool is not installed (NOWPLAYING_NO_INSTALL=1 keeps scripts/test from "
                  "installing it)");
        QProcess check;
        check.setStandardInputFile(metrics);
        check.start(promtool.isEmpty() ? "promtool" : promtool, {"check", "metrics"});
        QVERIFY(check.waitForFinished(10000));
        QVERIFY2(check.exitCode() == 0, check.readAll().constData());
#endif
    }

    // A watcher that stops says so in its status file and metrics; one that
    // is killed says nothing, and its heartbeat grows old: either way the
    // check exits with 2, and says which.
    void watcher_end_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::addColumn<QString>("said");
        QTest::newRow("stopped") << false << "STOPPED the watcher stopped at ";
        QTest::newRow("killed") << true << "DEAD    the watcher is not running: it has not written";
    }
    void watcher_end()
    {
        SKIP_IF_LINUX_ONLY();
        QFETCH(bool, killed);
        QTemporaryDir files;
        const QString status = files.filePath("status.json"), metrics = files.filePath("m.prom");
        SendingWatch watch({}, "Звезда", {}, {"--status", status, "--metrics", metrics});
        QVERIFY(watch.logged(" written") >= 0);
        QVERIFY(wait_until(
            [&]() { return contents(files.path(), "status.json").contains("\"written\""); }, 5000));
#ifndef Q_OS_WIN
        ::kill(watch.process.processId(), killed ? SIGKILL : SIGTERM);
#endif
        QVERIFY(watch.process.waitForFinished(10000));
        // A minute later by the checker's clock, for the killed one.
        const Result shown =
            run_program(NOWPLAYING_CHECK_BIN, files.path(), {"--status", status},
                        killed ? QStringList{"faketime", "-f", "+60s"} : QStringList{});
        QCOMPARE(shown.status, 2);
        QFETCH(QString, said);
        QVERIFY2(QString::fromUtf8(shown.out).startsWith(said), shown.out.constData());
        QCOMPARE(contents(files.path(), "m.prom").contains("\nnowplaying_up 0\n"), !killed);
    }

    // A pass whose RDS file cannot be written still sends its text, and is
    // made again, logged once, until the file can be written.
    void failures_cost_no_air()
    {
        FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
        const QString url = with_port("rds+tcp://127.0.0.1:PORT", encoder.port());
        SendingWatch watch({url});
        QVERIFY(wait_until([&]() { return !encoder.received.isEmpty(); }, 5000));
        QByteArray settings = baseSettings;
        settings.replace("<RDS>rds.txt</RDS>", "<RDS>gone/rds.txt</RDS>");
        put(watch.dir.path(), "settings.txt", settings + "<SEND1>" + url.toUtf8() + "</SEND1>");
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY2(wait_until(
                     [&]() {
                         return encoder.received.value(encoder.received.size() - 1) ==
                                "TEXT=Kino - Kukushka\r\n";
                     },
                     5000),
                 qPrintable(watch.log));
        QVERIFY(watch.logged("cant create RDS") >= 0);
        QVERIFY(QDir(watch.dir.path()).mkdir("gone"));
        QVERIFY2(
            wait_until(
                [&]() { return contents(watch.dir.path(), "gone/rds.txt") == "Kino - Kukushka"; },
                5000),
            qPrintable(watch.log));
        QCOMPARE(watch.count("cant create RDS"), 1);
    }

    // A serial encoder: a pseudo-terminal pair (socat) bridged to the
    // loopback fake, so that the encoder reads what the watcher writes on
    // the line and answers on it. A port that goes away (the pair ended, as
    // an adapter unplugged) is logged once; the newest text reaches the
    // encoder when it is back.
    // clang-format off
    void serial_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("text dialect, answered") << int(FakeDestination::Encoder) << QByteArray("+\r\n") << 0
            << "?baud=19200&parity=even" << QByteArray("TEXT=Kino - Zvezda\r\n");
        QTest::newRow("text dialect, answering slowly") << int(FakeDestination::Encoder) << QByteArray("+\r\n") << 1500
            << "?baud=9600&bits=7&parity=odd" << QByteArray("TEXT=Kino - Zvezda\r\n");
        QTest::newRow("UECP, silent") << int(FakeDestination::UecpEncoder) << QByteArray() << 0 << "?dialect=uecp&stop=2&flow=hardware"
            << QByteArray::fromHex("fe000000120a00000e014b696e6f202d205a76657a646161afff");
    }
    // clang-format on
    void serial()
    {
        SKIP_IF_SERVER_MISSING("socat");
        QFETCH(int, kind);
        QFETCH(QByteArray, reply);
        QFETCH(int, delayMs);
        QFETCH(QString, query);
        QFETCH(QByteArray, expected);
        const FakeBehaviour behaviour{reply, delayMs};
        std::optional<FakeDestination> fake;
        QStringList faults; // of the encoders gone
#ifdef Q_OS_WIN
        // No Linux program can be started from under Wine: the test script
        // makes COM5 a pseudo-terminal joined to a loopback port (a file
        // says when it is there), and ends it while a file named here
        // exists.
        const QStringList bridged =
            QString::fromLocal8Bit(qgetenv("NOWPLAYING_TEST_SERIAL")).split(';');
        if (bridged.size() != 4)
            QSKIP("no COM port is bridged to a pseudo-terminal (scripts/build-windows --test "
                  "makes COM5 one)");
        const QString port = bridged[0], plugged = bridged[2], unplugged = bridged[3];
        const auto plug = [&]() {
            fake.emplace(FakeDestination::Kind(kind), behaviour, quint16(bridged[1].toInt()));
            QFile::remove(unplugged);
            return wait_until([&]() { return QFileInfo::exists(plugged); }, 10000);
        };
        const auto unplug = [&]() {
            QFile flag(unplugged);
            flag.open(QIODevice::WriteOnly);
            faults += fake->faults;
            fake.reset();
            return wait_until([&]() { return !QFileInfo::exists(plugged); }, 10000);
        };
#else
        fake.emplace(FakeDestination::Kind(kind), behaviour);
        QTemporaryDir lines;
        const QString port = lines.path() + "/ttyRDS";
        QProcess bridge;
        const auto plug = [&]() {
            bridge.start("socat", {"pty,raw,echo=0,link=" + port,
                                   "tcp:127.0.0.1:" + QString::number(fake->port())});
            return wait_until([&]() { return QFileInfo::exists(port); }, 5000);
        };
        const auto unplug = [&]() {
            bridge.kill();
            bridge.waitForFinished();
            return wait_until([&]() { return !QFileInfo::exists(port); }, 5000);
        };
#endif
        QVERIFY(plug());
        SendingWatch watch({"rds+serial:" + port + query});
        watch.stopCleanly = true;
        QVERIFY2(watch.logged(": sent \"Kino - Zvezda\"", 20000) >= 0, qPrintable(watch.log));
        QVERIFY(wait_until([&]() { return !fake->received.isEmpty(); }, 5000));
        QCOMPARE(fake->received.first(), expected);
        // The checker tells the watcher's hold on the port from a fault, and
        // its test send leaves the port to the watcher.
        const Result check = run_program(NOWPLAYING_CHECK_BIN, watch.dir.path(), {"--send-test"});
        const QRegularExpression held("ok +SEND1 [^\n]*held by nowplaying-watch(\\.exe)? "
                                      "\\(process \\d+\\), the watcher sending to it");
        QVERIFY2(QString::fromUtf8(check.out).contains(held) &&
                     check.out.contains(": not sent: the port is held by nowplaying-watch"),
                 qPrintable(QString::fromUtf8(check.out).split('\n').filter("SEND1").join('\n')));

        QVERIFY(unplug());
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY2(watch.logged("not delivered \"Kino - Kukushka\"") >= 0, qPrintable(watch.log));
        QVERIFY(plug());
        QVERIFY2(watch.logged("back: sent \"Kino - Kukushka\"", 20000) >= 0, qPrintable(watch.log));
        QCOMPARE(watch.count("not delivered"), 1);
        faults += fake->faults;
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        unplug();
    }

    // The same text is sent once, however many passes make it, unless
    // every= asks for it again.
    void repeats_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("sends");
        QTest::newRow("once") << "" << 1;
        QTest::newRow("every second") << "?every=1" << 3;
    }
    void repeats()
    {
        QFETCH(QString, query);
        QFETCH(int, sends);
        FakeDestination encoder(FakeDestination::Encoder, {"+\r\n"});
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT", encoder.port()) + query});
        QVERIFY(watch.logged(": sent") >= 0);
        // The same document written again: a pass, the same text.
        put(watch.dir.path(), "doc.xml", doc("Звезда"));
        QVERIFY(wait_until([&]() { return watch.count(" written") == 2; }, 3000));
        wait_until([&]() { return encoder.received.size() >= sends; }, 2700);
        QTest::qWait(200);
        QCOMPARE(encoder.received.size(), sends);
        QCOMPARE(encoder.received.first(), QByteArray("TEXT=Kino - Zvezda\r\n"));
    }

    // What a station sets reaches the wire: with delay= a text goes out
    // after the same text reached a destination without it; with
    // min-interval= the first and the newest of three quick texts, the one
    // between them never.
    void pacing_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArrayList>("received");
        QTest::newRow("delay") << "?delay=1.5" << QByteArrayList{"TEXT=Kino - Zvezda\r\n"};
        QTest::newRow("min-interval")
            << "?min-interval=3"
            << QByteArrayList{"TEXT=Kino - Zvezda\r\n", "TEXT=Kino - Sled\r\n"};
    }
    void pacing()
    {
        QFETCH(QString, query);
        QFETCH(QByteArrayList, received);
        FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
        FakeDestination prompt(FakeDestination::Encoder, {"OK\r\n"});
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT", encoder.port()) + query,
                            with_port("rds+tcp://127.0.0.1:PORT", prompt.port())});
        QVERIFY(watch.logged(" written") >= 0);
        for (const char *title : {"Кукушка", "След"})
            if (received.size() > 1) {
                put(watch.dir.path(), "doc.xml", doc(title));
                QVERIFY(watch.logged(QString(" written \"Кино - ") + title) >= 0);
            }
        bool promptFirst = false; // the prompt one has the text while the other has none
        QVERIFY2(wait_until(
                     [&]() {
                         promptFirst |= encoder.received.isEmpty() && !prompt.received.isEmpty();
                         return encoder.received.size() == received.size();
                     },
                     8000),
                 qPrintable(watch.log));
        QVERIFY2(promptFirst || received.size() > 1, qPrintable(watch.log));
        QTest::qWait(500);
        QCOMPARE(encoder.received, received);
    }

    // An encoder whose program hangs for a while: what it was sent then, in
    // connections given up, may still come out of its system when it wakes;
    // the last text it takes is the current one.
    void hanging_encoder()
    {
        FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
        encoder.hang(true);
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT?timeout=0.5", encoder.port())});
        QVERIFY(watch.logged("not delivered \"Kino - Zvezda\"") >= 0);
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until([&]() { return watch.count(" written") == 2; }, 3000));
        QTest::qWait(1500);
        encoder.hang(false);
        QVERIFY2(watch.logged("back: sent \"Kino - Kukushka\"", 10000) >= 0, qPrintable(watch.log));
        // The current text once more, after what the encoder's system kept.
        QVERIFY(wait_until(
            [&]() {
                return encoder.received.value(encoder.received.size() - 1) ==
                       "TEXT=Kino - Kukushka\r\n";
            },
            5000));
        QTest::qWait(500);
        QCOMPARE(encoder.received.last(), QByteArray("TEXT=Kino - Kukushka\r\n"));
    }

    // The station's language and spellings reach the encoder and the web
    // hook's "rds"; its META text stays as written.
    void latin_on_the_wire()
    {
        FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
        FakeDestination hook(FakeDestination::Http, {"HTTP/1.1 204 No Content\r\n\r\n"});
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT", encoder.port()),
                            with_port("http://127.0.0.1:PORT/hook", hook.port())},
                           "Звезда", "<LATIN>uk</LATIN><SPELLINGS>sp.txt</SPELLINGS>");
        QVERIFY(watch.logged(" written") >= 0);
        put(watch.dir.path(), "sp.txt", "Кино = Kino (band)\n");
        put(watch.dir.path(), "doc.xml", doc("Київ"));
        QVERIFY2(
            wait_until([&]() { return encoder.received.contains("TEXT=Kino (band) - Kyiv\r\n"); },
                       5000),
            qPrintable(watch.log));
        QVERIFY(wait_until([&]() { return hook.received.size() == 2; }, 5000));
        QVERIFY2(hook.received.last().contains(
                     "\"meta\":\"Кино - Київ\",\"rds\":\"Kino (band) - Kyiv\""),
                 hook.received.last().constData());
        QCOMPARE(contents(watch.dir.path(), "rds.txt"), QByteArray("Kino (band) - Kyiv"));
    }

    // A title is never read as a format: "%1" and "%0d" stay as written.
    void percent_signs()
    {
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT", refusing_port())}, "%1%0d%0a");
        QVERIFY2(watch.logged("not delivered \"Kino - %1%0d%0a\": Connection refused; trying again "
                              "in 1 s") >= 0,
                 qPrintable(watch.log));
    }

    // Stopped with a send in flight, the watcher gives it one timeout; its
    // status file says it stopped before that timeout is over.
    void shutdown_waits_one_timeout()
    {
        SKIP_IF_LINUX_ONLY();
        FakeDestination encoder(FakeDestination::Encoder, {});
        QTemporaryDir files;
        const QString status = files.filePath("status.json");
        SendingWatch watch({with_port("rds+tcp://127.0.0.1:PORT?timeout=4", encoder.port())},
                           "Звезда", {}, {"--status", status});
        QVERIFY(wait_until([&]() { return !encoder.received.isEmpty(); }, 3000));
#ifndef Q_OS_WIN
        ::kill(watch.process.processId(), SIGTERM);
        QByteArray stopped;
        QVERIFY(wait_until(
            [&]() {
                stopped = contents(files.path(), "status.json");
                return stopped.contains("\"state\": \"stopped\"");
            },
            10000));
        QVERIFY2(!stopped.contains("no answer"), stopped.constData());
        QVERIFY(watch.process.waitForFinished(10000));
        QCOMPARE(watch.process.exitCode(), 0);
        // The send in flight is given its timeout, and said so, before the
        // watcher stops.
        const int failed = int(watch.log.indexOf("not delivered \"Kino - Zvezda\": no answer"));
        QVERIFY2(failed >= 0 && failed < watch.log.indexOf("nowplaying-watch stopped"),
                 qPrintable(watch.log));
        // Written again once the send is over, its outcome in it.
        QVERIFY(contents(files.path(), "status.json").contains("no answer within 4 s"));
#endif
    }
};

QTEST_GUILESS_MAIN(SendTest)
#include "tst_send.moc"
