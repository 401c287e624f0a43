// SPDX-License-Identifier: MIT
// nowplaying-watch against a real MQTT broker (Debian's mosquitto): the
// retained now-playing byte for byte for a subscriber that comes later, the
// status topic's "online" and its last will "offline" when the watcher is
// killed, a refused password logged once, a broker that restarts getting
// only the newest text, and a studio feeding two sites' encoders; what a
// site does with what a hostile or broken publisher puts on the topic, a
// burst included; TLS with a station's own CA, and TLS that cannot be set
// up never tried in clear; and a check that leaves the studio's status
// alone.
#include "fake_destination.h"
#include "mqtt_broker.h"
#include "sending_watch.h"
#include "server_skip.h"

#include <QJsonDocument>
#include <QJsonObject>

// A site fed by hand: its encoder (text dialect), a feeder's file and a
// DAB+ label, and what it makes of each message published to the topic.
struct Site {
    FakeDestination encoder{FakeDestination::Encoder, {"OK\r\n"}};
    std::unique_ptr<SendingWatch> watch;
    explicit Site(const MqttBroker &broker, const QByteArray &query = {})
    {
        const QByteArray follow = "<FOLLOW>" + broker.url("studio/np").toUtf8() + query +
                                  "</FOLLOW><IDLETEXT>Radio</IDLETEXT>";
        watch = std::make_unique<SendingWatch>(
            QStringList{QString("rds+tcp://127.0.0.1:%1").arg(encoder.port()), "file:feed.txt",
                        "dls:dls.txt"},
            QByteArray(), follow);
    }
    QByteArray file(const char *name) const
    {
        return contents(watch->dir.path(), name);
    }
};

class MqttTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        SKIP_IF_SERVER_MISSING("mosquitto");
    }

    void retained_for_a_late_subscriber()
    {
        MqttBroker broker;
        SendingWatch watch({broker.url("studio/np")}, "&quot;Звезда&quot; &amp; Co");
        QVERIFY2(watch.logged(": sent \"") >= 0, qPrintable(watch.log));
        // A subscriber that connects now gets the current text at once.
        const QList<QByteArray> got = subscribe(broker, "studio/np", 1);
        QCOMPARE(got.size(), 1);
        QVERIFY2(got[0].startsWith("{\"artist\":\"Кино\",\"fields\":{\"ARTIST\":\"Кино\","
                                   "\"NAME\":\"\\\"Звезда\\\" & Co\"},\"id\":\""),
                 got[0].constData());
        const QJsonObject json = QJsonDocument::fromJson(got[0]).object();
        QCOMPARE(json.value("meta").toString(), QString("Кино - \"Звезда\" & Co"));
        QCOMPARE(json.value("rds").toString(), QString("Kino - \"Zvezda\" & Co"));
        QCOMPARE(subscribe(broker, "studio/np/status", 1), QList<QByteArray>{"online"});
    }

    // The broker says "offline" for a watcher that is killed, with no word
    // from it.
    void offline_when_killed()
    {
        MqttBroker broker;
        SendingWatch watch({broker.url("studio/np")});
        QVERIFY2(watch.logged(": sent \"") >= 0, qPrintable(watch.log));
        watch.process.kill();
        QVERIFY(watch.process.waitForFinished(5000));
        QElapsedTimer waited;
        waited.start();
        while (subscribe(broker, "studio/np/status", 1) != QList<QByteArray>{"offline"} &&
               waited.elapsed() < 60000)
            QThread::msleep(100);
        qInfo("offline after %lld ms", waited.elapsed());
        QCOMPARE(subscribe(broker, "studio/np/status", 1), QList<QByteArray>{"offline"});
    }

    void refused_password_logged_once()
    {
        MqttBroker broker(true);
        SendingWatch watch({broker.url("studio/np").replace("mqtt://", "mqtt://studio:wrong@")});
        QVERIFY2(watch.logged("the password is refused") >= 0, qPrintable(watch.log));
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until([&]() { return watch.count(" written") == 2; }, 3000));
        QTest::qWait(1500);
        QCOMPARE(watch.count("the password is refused"), 1);
        QVERIFY2(!watch.log.contains("wrong"), qPrintable(watch.log));
    }

    // A broker that is down while two tracks change gets only the newer one
    // when it is back.
    void broker_restarted()
    {
        MqttBroker broker;
        if (broker.external())
            QSKIP("the broker the script started cannot be restarted from here");
        SendingWatch watch({broker.url("studio/np")});
        QVERIFY2(watch.logged(": sent \"") >= 0, qPrintable(watch.log));
        broker.stop();
        put(watch.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until([&]() { return watch.count(" written") == 2; }, 3000));
        put(watch.dir.path(), "doc.xml", doc("Пачка сигарет"));
        QVERIFY(wait_until([&]() { return watch.count(" written") == 3; }, 3000));
        broker.start();
        QVERIFY2(watch.logged("back: sent \"Кино - Пачка сигарет\"", 15000) >= 0,
                 qPrintable(watch.log));
        const QList<QByteArray> got = subscribe(broker, "studio/np", 1);
        QCOMPARE(got.size(), 1);
        QVERIFY(got[0].contains("\"title\":\"Пачка сигарет\""));
        QVERIFY2(!watch.log.contains("sent \"Кино - Кукушка\""), qPrintable(watch.log));
    }

    // A studio and two sites behind the broker, each site with its own
    // encoder and template; a site never publishes over the studio's topic.
    void studio_and_sites()
    {
        MqttBroker broker;
        FakeDestination first(FakeDestination::Encoder, {"OK\r\n"});
        FakeDestination second(FakeDestination::Encoder, {"OK\r\n"});
        SendingWatch studio({broker.url("studio/np")});
        const QByteArray follow = "<FOLLOW>" + broker.url("studio/np").toUtf8() + "</FOLLOW>";
        SendingWatch site1(
            {QString("rds+tcp://127.0.0.1:%1").arg(first.port()), broker.url("studio/np")}, {},
            follow);
        SendingWatch site2({QString("rds+tcp://127.0.0.1:%1").arg(second.port())}, {},
                           follow + "<SEND1TEXT>{NAME} ({ARTIST})</SEND1TEXT>");
        QVERIFY2(
            wait_until([&]() { return !first.received.isEmpty() && !second.received.isEmpty(); },
                       5000),
            qPrintable(site1.log + site2.log));
        QCOMPARE(first.received.last(), QByteArray("TEXT=Kino - Zvezda\r\n"));
        QCOMPARE(second.received.last(), QByteArray("TEXT=Zvezda (Kino)\r\n"));
        put(studio.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until([&]() { return second.received.last() == "TEXT=Kukushka (Kino)\r\n"; },
                           5000));
        QVERIFY(wait_until([&]() { return first.received.last() == "TEXT=Kino - Kukushka\r\n"; },
                           5000));
        QVERIFY(site1.log.contains(": not used: publishes to the topic this site follows"));
        // The site's own spelling goes on air with the text already there.
        put(site2.dir.path(), "spellings.txt", "Кино = KINO\n");
        put(site2.dir.path(), "settings.txt",
            contents(site2.dir.path(), "settings.txt") + "<SPELLINGS>spellings.txt</SPELLINGS>");
        QVERIFY2(wait_until([&]() { return second.received.last() == "TEXT=Kukushka (KINO)\r\n"; },
                            5000),
                 qPrintable(site2.log));
        // A test send at the site: the studio's current text as the site has it.
        const int before = second.received.size();
        QProcess test; // the encoder answers from this thread's event loop
        test.start(NOWPLAYING_CHECK_BIN, {"--send-test", site2.dir.path()});
        QVERIFY(wait_until([&]() { return test.state() == QProcess::NotRunning; }, 15000));
        const QByteArray said = test.readAllStandardOutput();
        QVERIFY2(said.contains(": delivered"), said.constData());
        QCOMPARE(second.received.mid(before), QList<QByteArray>{"TEXT=Kukushka (KINO)\r\n"});
    }

    // A broker that goes away is not the studio going offline: the site
    // says which, keeps its text and its status shows its source; both are
    // back on the studio's current text soon after the broker is.
    void broker_outage()
    {
        MqttBroker broker;
        if (broker.external())
            QSKIP("the broker the script started cannot be restarted from here");
        FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
        SendingWatch studio({broker.url("studio/np")});
        QTemporaryDir files;
        const QString status = files.filePath("site.json");
        SendingWatch site({QString("rds+tcp://127.0.0.1:%1").arg(encoder.port())}, {},
                          "<FOLLOW>" + broker.url("studio/np").toUtf8() +
                              "?idle-after=60</FOLLOW><IDLETEXT>Radio</IDLETEXT>",
                          {"--status", status});
        QVERIFY(wait_until([&]() { return encoder.received.contains("TEXT=Kino - Zvezda\r\n"); },
                           5000));
        broker.stop();
        QVERIFY2(site.logged("the broker is out of reach (not the studio): keeping \"Кино - "
                             "Звезда\", the idle text after 60 s") >= 0,
                 qPrintable(site.log));
        QVERIFY(wait_until(
            [&]() {
                return contents(files.path(), "site.json").contains("\"broker\": \"disconnected\"");
            },
            5000));
        put(studio.dir.path(), "doc.xml", doc("Кукушка"));
        QVERIFY(wait_until([&]() { return studio.count(" written") == 2; }, 3000));
        broker.start();
        QVERIFY2(wait_until([&]() { return encoder.received.last() == "TEXT=Kino - Kukushka\r\n"; },
                            10000),
                 qPrintable(site.log + studio.log));
        QVERIFY(wait_until(
            [&]() {
                return contents(files.path(), "site.json").contains("\"broker\": \"connected\"");
            },
            5000));
        QVERIFY2(!site.log.contains("the studio is offline"), qPrintable(site.log));
        QVERIFY(!encoder.received.contains("TEXT=Radio\r\n"));
    }

    // A studio gone offline stays offline through a broker's outage: its
    // idle text comes when it was due, not never.
    void studio_offline_through_an_outage()
    {
        MqttBroker broker;
        if (broker.external())
            QSKIP("the broker the script started cannot be restarted from here");
        auto studio = std::make_unique<SendingWatch>(QStringList{broker.url("studio/np")});
        Site site(broker, "?idle-after=4");
        QVERIFY(wait_until([&]() { return site.file("feed.txt") == "Kino - Zvezda"; }, 5000));
        studio.reset(); // killed: the broker tells its will, "offline"
        QVERIFY(site.watch->logged("the studio is offline: keeping") >= 0);
        broker.stop();
        QVERIFY(site.watch->logged("the broker is out of reach") >= 0);
        broker.start();
        QVERIFY2(
            wait_until([&]() { return site.encoder.received.last() == "TEXT=Radio\r\n"; }, 10000),
            qPrintable(site.watch->log));
    }

    // What a publisher puts on the topic goes on air only as a pass would
    // put a document's text: one clean line. What is not the shape the
    // studio publishes, or is too large, is left aside once per streak.
    // clang-format off
    void hostile_messages_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("logged");
        QTest::newRow("line breaks and escapes")
            << QByteArray("{\"artist\":\"Evil\\r\\nTEXT=INJECTED\\r\\nRTP=1,0,5,4,6,5\",\"title\":\"T\\u001b[31m\\u0000x\"}")
            << QByteArray("TEXT=Evil TEXT=INJECTED RTP=1,0,5,4,6,5 - T[31mx\r\n") << "";
        QTest::newRow("wrong types keep the last good text")
            << QByteArray("{\"artist\":5,\"title\":[\"x\"],\"fields\":\"zz\"}")
            << QByteArray("TEXT=Kino - Zvezda\r\n")
            << "a message that is not the now-playing, left aside (\"artist\" is a number, not text)";
        QTest::newRow("too large keeps the last good text")
            << QByteArray("{\"artist\":\"a\",\"title\":\"") + QByteArray(300 * 1024, 'x') + "\"}"
            << QByteArray("TEXT=Kino - Zvezda\r\n")
            << "left aside (it has 307225 bytes, more than 256 KiB)";
    }
    // clang-format on
    void hostile_messages()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, command);
        QFETCH(QString, logged);
        MqttBroker broker;
        Site site(broker);
        publish(broker, "studio/np", {"{\"artist\":\"Кино\",\"title\":\"Звезда\"}"});
        QVERIFY2(wait_until([&]() { return site.file("feed.txt") == "Kino - Zvezda"; }, 5000),
                 qPrintable(site.watch->log));
        publish(broker, "studio/np", {message});
        if (!logged.isEmpty())
            QVERIFY2(site.watch->logged(logged) >= 0, qPrintable(site.watch->log.left(2000)));
        const QByteArray text = command.mid(5).chopped(2); // the files' and the label's
        QVERIFY(wait_until(
            [&]() {
                return site.encoder.received.value(site.encoder.received.size() - 1) == command;
            },
            5000));
        QVERIFY(wait_until(
            [&]() { return site.file("feed.txt") == text && site.file("dls.txt") == text; }, 5000));
        // A second such message is not logged again; the idle text never comes.
        publish(broker, "studio/np", {message});
        QTest::qWait(300);
        if (!logged.isEmpty())
            QCOMPARE(site.watch->count(logged), 1);
        QVERIFY(!site.encoder.received.contains("TEXT=Radio\r\n"));
        QVERIFY2(!site.watch->log.contains(QChar(0x1b)), qPrintable(site.watch->log));
    }

    // A site whose FOLLOW cannot be used is failing, not idle.
    void unusable_follow_is_failing()
    {
        QTemporaryDir files;
        const QString status = files.filePath("site.json");
        SendingWatch site({"file:a"}, {}, "<FOLLOW>mqtt://h/np?idle-after=x</FOLLOW>",
                          {"--status", status});
        QVERIFY(wait_until(
            [&]() { return contents(files.path(), "site.json").contains("not used"); }, 5000));
        const Result check = run_program(NOWPLAYING_CHECK_BIN, files.path(), {"--status", status});
        QVERIFY2(check.status == 1 && check.out.contains("(not used: idle-after=x is not a number"),
                 check.out.constData());
        // FOLLOW taken out: a studio, whose status names no source.
        put(site.dir.path(), "doc.xml", doc("Звезда"));
        put(site.dir.path(), "settings.txt", baseSettings + "<SEND1>file:a</SEND1>");
        QVERIFY(wait_until([&]() { return contents(files.path(), "site.json").contains("Звезда"); },
                           5000));
        QVERIFY(!contents(files.path(), "site.json").contains("\"source\""));
        // Put back, it is failing again.
        put(site.dir.path(), "settings.txt", "<FOLLOW>mqtt://h/np?idle-after=x</FOLLOW>");
        QVERIFY(wait_until(
            [&]() { return contents(files.path(), "site.json").contains("not used"); }, 5000));
    }

    // A burst the broker cannot hand on whole (it keeps one message for a
    // site that falls behind): the site ends on the topic's current
    // (retained) text.
    void burst()
    {
        MqttBroker broker(false, "max_queued_messages 1\nmax_inflight_messages 1\n");
        Site site(broker);
        publish(broker, "studio/np", {"{\"artist\":\"Кино\",\"title\":\"Звезда\"}"});
        QVERIFY(wait_until([&]() { return site.file("feed.txt") == "Kino - Zvezda"; }, 5000));
        QList<QByteArray> burst;
        for (int i = 0; i < 3000; ++i)
            burst << "{\"artist\":\"Flood\",\"title\":\"" + QByteArray::number(i) + "\"}";
        publish(broker, "studio/np", burst);
        QVERIFY2(wait_until([&]() { return site.file("feed.txt") == "Flood - 2999"; }, 10000),
                 site.file("feed.txt").constData());
        QVERIFY(wait_until(
            [&]() {
                return site.encoder.received.value(site.encoder.received.size() - 1) ==
                       "TEXT=Flood - 2999\r\n";
            },
            5000));
        QVERIFY(!site.encoder.received.contains("TEXT=Radio\r\n"));
    }

    // mqtts:// with a CA file that cannot be read: not used, said once, and
    // nothing goes to the broker, TLS or not.
    void tls_that_cannot_be_set_up()
    {
        MqttBroker broker;
        // (A topic of its own: a broker shared by the rows keeps what others retained.)
        SendingWatch watch({broker.url("tls/np").replace("mqtt://", "mqtts://studio:pw@") +
                            "?cafile=missing.pem"});
        QVERIFY2(watch.logged("names a CA file that cannot be read") >= 0, qPrintable(watch.log));
        QVERIFY(subscribe(broker, "tls/np/#", 1, 1500).isEmpty());
        const Result check = run_program(NOWPLAYING_CHECK_BIN, watch.dir.path(), {});
        QVERIFY2(check.out.contains("error    SEND1 mqtts://studio@127.0.0.1:") &&
                     check.out.contains("names a CA file that cannot be read"),
                 check.out.constData());
    }

    // mqtts:// with the station's own CA, named relative to its folder:
    // found there in a group too, whose watcher runs where it was started.
    void tls_with_the_stations_ca()
    {
        SKIP_IF_SERVER_MISSING("mosquitto");
        SKIP_IF_SERVER_MISSING("openssl");
        if (!qEnvironmentVariableIsEmpty("NOWPLAYING_TEST_BROKER"))
            QSKIP("the broker the script started has no TLS listener");
        QTemporaryDir keys; // the broker reads them as the unprivileged user it becomes
        QFile::setPermissions(keys.path(), QFileDevice::Permissions(0x7755));
        QCOMPARE(QProcess::execute("openssl",
                                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                    "-subj", "/CN=127.0.0.1", "-addext",
                                    "subjectAltName=IP:127.0.0.1", "-keyout",
                                    keys.filePath("key.pem"), "-out", keys.filePath("cert.pem")}),
                 0);
        QFile::setPermissions(keys.filePath("key.pem"), QFileDevice::Permissions(0x6644));
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 tlsPort = probe.serverPort();
        probe.close();
        MqttBroker broker(false, "listener " + QByteArray::number(tlsPort) +
                                     " 127.0.0.1\ncertfile " +
                                     QFile::encodeName(keys.filePath("cert.pem")) + "\nkeyfile " +
                                     QFile::encodeName(keys.filePath("key.pem")) + "\n");
        QTemporaryDir other; // a second station, still to come: a group
        const QString ca = "../" + QFileInfo(keys.path()).fileName() + "/cert.pem";
        SendingWatch watch(
            {QString("mqtts://127.0.0.1:%1/tlsca/np?cafile=%2").arg(tlsPort).arg(ca)}, "Звезда", {},
            {other.filePath("b")});
        const QList<QByteArray> got = subscribe(broker, "tlsca/np", 1);
        QVERIFY2(got.value(0).contains("\"title\":\"Звезда\""), qPrintable(watch.log));
    }

    // A check's test send publishes the text, and leaves the watcher's
    // status "online" as it was.
    void check_leaves_the_status_alone()
    {
        MqttBroker broker;
        SendingWatch watch({broker.url("studio/np")});
        QVERIFY2(watch.logged(": sent \"") >= 0, qPrintable(watch.log));
        const Result check = run_program(NOWPLAYING_CHECK_BIN, watch.dir.path(), {"--send-test"});
        QVERIFY2(check.out.contains("SEND1 mqtt://127.0.0.1:") && check.out.contains("delivered"),
                 check.out.constData());
        QCOMPARE(subscribe(broker, "studio/np/status", 1), QList<QByteArray>{"online"});
    }
};

QTEST_GUILESS_MAIN(MqttTest)
#include "tst_mqtt.moc"
