// SPDX-License-Identifier: MIT
// The timing rules of the watcher and of each destination, tried in process
// with the time given: retry pauses that grow and cap, the quiet wait capped
// at a second, the pass at the end of a bad hour, newest text only, and a
// status file that cannot be written told once per streak.
#include "backoff.h"
#include "delivery.h"
#include "follower.h"
#include "monitor.h"
#include "station_names.h"
#include "watch_rules.h"

#include <QtTest>

class Timing : public QObject {
    Q_OBJECT
private slots:
    void backoff_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("pause");
        QTest::newRow("first pause") << 1 << 1000;
        QTest::newRow("grows") << 3 << 4000;
        QTest::newRow("caps") << 8 << 60000;
    }
    void backoff()
    {
        QFETCH(int, failures);
        Backoff backoff(1000, 60000);
        int pause = 0;
        for (int i = 0; i < failures; ++i)
            pause = backoff.next();
        QTEST(pause, "pause");
        backoff.reset();
        QCOMPARE(backoff.next(), 1000);
    }

    void quiet_wait_data()
    {
        QTest::addColumn<int>("quietMs");
        QTest::addColumn<int>("waitedMs");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("the quiet interval") << 50 << 0 << 50;
        QTest::newRow("capped at a second") << 5000 << 0 << 1000;
        QTest::newRow("what is left of the second") << 50 << 980 << 20;
        QTest::newRow("past the second") << 50 << 1500 << 0;
    }
    void quiet_wait()
    {
        QFETCH(int, quietMs);
        QFETCH(int, waitedMs);
        QTEST(quiet_wait_ms(quietMs, waitedMs), "waitMs");
    }

    void next_hour_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<int>("ms");
        QTest::newRow("half a second before") << QTime(10, 59, 59, 500) << 501;
        QTest::newRow("at the start of an hour") << QTime(10, 0) << 3600001;
    }
    void next_hour()
    {
        QFETCH(QTime, now);
        QTEST(ms_to_next_hour(QDateTime(QDate(2026, 12, 8), now)), "ms");
    }

    // A burst from the studio's topic is taken at most every takeEveryMs.
    void take_wait_data()
    {
        QTest::addColumn<int>("now");
        QTest::addColumn<int>("lastTaken");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("the first at once") << 5 << -1 << 0;
        QTest::newRow("one taken 40 ms ago") << 140 << 100 << 60;
        QTest::newRow("one taken 100 ms ago") << 200 << 100 << 0;
    }
    void take_wait()
    {
        QFETCH(int, now);
        QFETCH(int, lastTaken);
        QTEST(take_wait_ms(now, lastTaken, Follower::takeEveryMs), "waitMs");
    }

    // A burst that goes on has a site drop what the broker queued for it.
    void drop_backlog_data()
    {
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("burstMs");
        QTest::addColumn<bool>("drop");
        QTest::newRow("50 in 2 s") << 50 << 2000 << true;
        QTest::newRow("49 in 2 s") << 49 << 2000 << false;
        QTest::newRow("50 in 1999 ms") << 50 << 1999 << false;
    }
    void drop_backlog()
    {
        QFETCH(int, messages);
        QFETCH(int, burstMs);
        QTEST(::drop_backlog(messages, burstMs), "drop");
    }

    // A group's stations, each named unlike the others.
    void station_names_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("their own names")
            << QStringList{"/srv/a", "/srv/b"} << QStringList{"a", "b"};
        QTest::newRow("one name in two places")
            << QStringList{"/srv/x/studio", "/srv/y/studio", "/srv/news"}
            << QStringList{QDir::toNativeSeparators("x/studio"),
                           QDir::toNativeSeparators("y/studio"), "news"};
    }
    void station_names()
    {
        QFETCH(QStringList, folders);
        QTEST(::station_names(folders), "names");
    }

    // Rules "every delay min-interval" in milliseconds, and steps at given
    // times: "offer X" (a pass with text X), "ok", "fail" or "refused" (the
    // send in flight ended; refused: the password), "tick" (only time
    // passing); after each, the text due then, if any, is sent.
    // clang-format off
    void delivery_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("sent");
        QTest::newRow("newest text only") << "0 0 0" << "offer A@0 offer B@10 offer C@20 ok@100" << "A@0 C@100";
        QTest::newRow("a failed text waits its pause") << "0 0 0" << "offer A@0 fail@10 tick@500 tick@1010" << "A@0 A@1010";
        QTest::newRow("the pause grows") << "0 0 0" << "offer A@0 fail@0 tick@1000 fail@1000 tick@2999 tick@3000" << "A@0 A@1000 A@3000";
        QTest::newRow("a new text is tried at once") << "0 0 0" << "offer A@0 fail@0 offer B@500" << "A@0 B@500";
        QTest::newRow("a refused password waits longest") << "0 0 0" << "offer A@0 refused@0 tick@59999 tick@60000" << "A@0 A@60000";
        QTest::newRow("the same text once") << "0 0 0" << "offer A@0 ok@5 offer A@10" << "A@0";
        QTest::newRow("every= sends it again") << "1000 0 0" << "offer A@0 ok@0 tick@999 tick@1000" << "A@0 A@1000";
        QTest::newRow("each text at its own delay") << "0 10000 0" << "offer A@0 offer B@3000 tick@9999 tick@10000 ok@10010 tick@13000" << "A@10000 B@13000";
        QTest::newRow("the same text keeps its clock") << "0 10000 0" << "offer A@0 offer A@5000 tick@10000 ok@10000 tick@15000" << "A@10000";
        QTest::newRow("min-interval: the newest waiting") << "0 0 20000" << "offer A@0 ok@10 offer B@5000 offer C@8000 tick@19999 tick@20000" << "A@0 C@20000";
        QTest::newRow("back from failing: confirmed once") << "0 0 0 confirm" << "offer A@0 fail@10 tick@1010 ok@1020 tick@3019 tick@3020 ok@3030 tick@9000" << "A@0 A@1010 A@3020";
        QTest::newRow("no confirmation without failures") << "0 0 0 confirm" << "offer A@0 ok@10 tick@5000" << "A@0";
    }
    // clang-format on
    void delivery()
    {
        QFETCH(QString, rules);
        QFETCH(QString, steps);
        const QStringList rule = rules.split(' ');
        Delivery delivery(
            {rule[0].toInt(), rule[1].toInt(), rule[2].toInt(), rule.value(3) == "confirm"});
        QStringList sent;
        const QStringList words = steps.split(' ');
        for (int i = 0; i < words.size(); ++i) {
            QString step = words[i];
            if (step == "offer")
                step += ' ' + words[++i];
            const qint64 at = step.section('@', 1).toLongLong();
            const QString what = step.section('@', 0, 0);
            if (what.startsWith("offer ")) {
                OnAirText text;
                text.title = what.mid(6);
                delivery.offer({text, text.title, {}, false}, at);
            } else if (what != "tick") {
                delivery.finished(what == "ok", at, what == "refused");
            }
            if (const auto item = delivery.take(at))
                sent << item->text.title + '@' + QString::number(at);
        }
        QTEST(sent.join(' '), "sent");
    }

    // A status file that cannot be written is told once per streak, and
    // its end; a tick with nothing due is no news either way.
    void status_files_failing()
    {
        QTemporaryDir dir;
        QDateTime now = QDateTime::fromMSecsSinceEpoch(0);
        Monitor monitor({dir.filePath("gone/s.json"), {}, {}}, [&now]() { return now; });
        QStringList told;
        for (int beat = 0; beat < 4; ++beat, now = now.addMSecs(heartbeatMs)) {
            if (beat == 2)
                QVERIFY(QDir(dir.path()).mkdir("gone"));
            for (const QString &news : {monitor.write_and_tell(), monitor.write_and_tell()})
                if (!news.isEmpty())
                    told << QString::number(beat) + ' ' + news.left(12);
        }
        QCOMPARE(told, QStringList({"0 cannot write", "2 the status f"}));
    }
};

QTEST_APPLESS_MAIN(Timing)
#include "tst_timing.moc"
