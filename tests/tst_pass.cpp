// SPDX-License-Identifier: MIT
// A pass run in process at a given time and in a given folder: the bad-hours
// gate against the clock, the bound on waiting for another pass, and paths
// resolved against the folder.
#include "folder_run.h"
#include "pass.h"
#include "pass_lock.h"

namespace {

QByteArray settings(const QByteArray &hours)
{
    return hours + "<XML>doc.xml</XML><NEWXML>out.xml</NEWXML><META>meta.txt</META>"
                   "<RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";
}

} // namespace

Q_DECLARE_METATYPE(PassOutcome)

class Pass : public QObject {
    Q_OBJECT
private slots:
    // A pass that is not blocked stops at the missing letters file.
    // clang-format off
    void bad_hours_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QByteArray>("hours");
        QTest::addColumn<PassOutcome>("outcome");
        const auto at = [](int day, int hour, int minute) {
            return QDateTime(QDate(2026, 12, day), QTime(hour, minute));
        };
        const PassOutcome blocked = PassOutcome::BlockedHour, runs = PassOutcome::CantReadLetters;
        QTest::newRow("Sunday night blocked") << at(6, 1, 30) << QByteArray("<TIME7>0,1,2</TIME7>") << blocked;
        QTest::newRow("Sunday morning runs") << at(6, 3, 0) << QByteArray("<TIME7>0,1,2</TIME7>") << runs;
        QTest::newRow("Monday's tag on Sunday") << at(6, 1, 30) << QByteArray("<TIME1>0,1,2</TIME1>") << runs;
        QTest::newRow("Monday's last minute") << at(7, 23, 59) << QByteArray("<TIME1>23</TIME1>") << blocked;
        QTest::newRow("blank in list") << at(7, 2, 10) << QByteArray("<TIME1>1, 2</TIME1>") << runs;
    }
    // clang-format on
    void bad_hours()
    {
        QFETCH(QDateTime, now);
        QFETCH(QByteArray, hours);
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settings(hours));
        QTEST(run_pass(now, dir.path()), "outcome");
    }

    // A lock that is never released delays a pass by the bound, not for ever.
    void lock_wait_is_bounded()
    {
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", "");
        const QString path = QDir(dir.path()).filePath("settings.txt");
        const PassLock first(path, std::chrono::milliseconds(0));
        QVERIFY(first.held());
        QElapsedTimer timer;
        timer.start();
        const PassLock second(path, std::chrono::milliseconds(200));
        QVERIFY(!second.held());
        QVERIFY(timer.elapsed() >= 200);
    }

    // The watcher and the fuzz target run passes in a folder that is not the
    // working one: the inputs and the outputs are all found there.
    void paths_resolve_against_the_folder()
    {
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settings({}));
        put(dir.path(), "rusletters.txt", letters);
        // No INXMLENC: read in the locale encoding.
        put(dir.path(), "doc.xml", in_locale("<ARTIST>Кино</ARTIST><NAME>Звезда</NAME>"));
        QCOMPARE(run_pass(QDateTime::currentDateTime(), dir.path()), PassOutcome::Written);
        QCOMPARE(contents(dir.path(), "rds.txt"), QByteArray("Kino - Zvezda"));
        QVERIFY(QFile::exists(QDir(dir.path()).filePath("meta.txt")));
        QVERIFY(QFile::exists(QDir(dir.path()).filePath("out.xml")));
    }
};

QTEST_GUILESS_MAIN(Pass)
#include "tst_pass.moc"
