// SPDX-License-Identifier: MIT
// nowplaying-watch against a real MQTT broker (Debian's mosquitto): the
// retained now-playing byte for byte for a subscriber that comes later, the
// status topic's "online" and its last will "offline" when the watcher is
// killed, a refused password logged once, a broker that restarts getting
// only the newest text, and a studio feeding two sites' encoders.
#include "fake_destination.h"
#include "mqtt_broker.h"
#include "sending_watch.h"
#include "server_skip.h"

#include <QJsonDocument>
#include <QJsonObject>

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
    // encoder and template.
    void studio_and_sites()
    {
        MqttBroker broker;
        FakeDestination first(FakeDestination::Encoder, {"OK\r\n"});
        FakeDestination second(FakeDestination::Encoder, {"OK\r\n"});
        SendingWatch studio({broker.url("studio/np")});
        const QByteArray follow = "<FOLLOW>" + broker.url("studio/np").toUtf8() + "</FOLLOW>";
        SendingWatch site1({QString("rds+tcp://127.0.0.1:%1").arg(first.port())}, {}, follow);
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
    }
};

QTEST_GUILESS_MAIN(MqttTest)
#include "tst_mqtt.moc"
