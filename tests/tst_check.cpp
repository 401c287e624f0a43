// SPDX-License-Identifier: MIT
// nowplaying-check on crafted folders: the traps it must find, its exit
// status, its JSON form, and that it writes nothing.
#include "folder_run.h"

namespace {
const QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                       "<ARTIST>Кино</ARTIST><NAME>Кукушка</NAME>";

// A tag written before the base settings overrides it: the first one wins.
QByteArray settings(const QByteArray &overrides = {})
{
    return overrides + "<XML>doc.xml</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
                       "<OUTXMLENC>windows-1251</OUTXMLENC><META>meta.txt</META>"
                       "<METASPLITTER> - </METASPLITTER><METAENC>UTF-8</METAENC>"
                       "<RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";
}

struct Run {
    int status;
    QString out;
};

Run check(const QString &folder, const QStringList &args)
{
    const Result r = run_program(NOWPLAYING_CHECK_BIN, folder, args);
    return {r.status, QString::fromUtf8(r.out)};
}

QStringList listing(const QString &folder)
{
    QStringList files;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        files << info.fileName() + QString::number(info.size()) +
                     info.lastModified().toString(Qt::ISODateWithMs);
    return files;
}

} // namespace

class Check : public QObject {
    Q_OBJECT
private slots:
    void example_folder_is_clean()
    {
        const Run run = check(EXAMPLE_DIR, {});
        QCOMPARE(run.status, 0);
        QVERIFY2(!run.out.contains(QRegularExpression("^  (warning|error) ",
                                                      QRegularExpression::MultilineOption)),
                 qPrintable(run.out));
        QVERIFY(run.out.contains("RDS file: \"Kino - Gruppa krovi\""));
    }

    // clang-format off
    void traps_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<QByteArray>("lettersFile");
        QTest::addColumn<QByteArray>("docFile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("findings");
        QTest::newRow("sound") << settings() << letters << doc << 0
            << QStringList{"ok       RDS file: \"Kino - Kukushka\"", "ok       OUTXMLENC \"windows-1251\" is windows-1251"};
        QTest::newRow("unknown encoding") << settings("<METAENC>cp1251x</METAENC>") << letters << doc << 1
            << QStringList{"warning  METAENC \"cp1251x\" is not a known encoding: the locale encoding (UTF-8) is used instead"};
        QTest::newRow("hours that never match") << settings("<TIME3>1, 2,01,24,x</TIME3>") << letters << doc << 1
            << QStringList{"ok       TIME3 (Wednesday): no pass in the hours 1\n",
                           "warning  TIME3 (Wednesday): the item \" 2\" holds a blank, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"01\" has a leading zero, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"24\" is not an hour from 0 to 23, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"x\" is not a number, so it never matches"};
        QTest::newRow("letters in two lines") << settings() << letters.left(64) + "\n" + letters.mid(64) << doc << 1
            << QStringList{"warning  a line break at position 32 shifts every later letter by one",
                           "warning  31 letters come out wrong: А gives \"B\", not \"A\"", "ok       RDS file: \"Lino - Lukushka\""};
        QTest::newRow("short letters, duplicate") << settings() << QByteArray("ааб") << doc << 1
            << QStringList{"warning  only 3 characters: table positions 3 to 63 have no letter",
                           "warning  \"а\" stands at positions 0 and 1: it gives both outputs"};
        QTest::newRow("blank in a path") << settings("<XML> doc.xml</XML>") << letters << doc << 2
            << QStringList{"warning  XML has blanks or line breaks at its ends, which are part of the value: it names another file",
                           "error    cannot be read (missing, a folder, unreadable or over 16 MiB): the pass stops with \"cant open XML\""};
        QTest::newRow("twice and unclosed") << settings("<RDSSPLITTER>/</RDSSPLITTER>").replace("</META>", "") << letters << doc << 2
            << QStringList{"warning  RDSSPLITTER appears 2 times: only the first one counts",
                           "error    META is not closed, so its value is empty: the pass stops with \"cant create META file\""};
        QTest::newRow("mark overrides INXMLENC") << settings("<INXMLENC>KOI8-R</INXMLENC>") << letters << "\xEF\xBB\xBF" + doc << 1
            << QStringList{"warning  starts with a UTF-8 byte-order mark, so it is read as UTF-8, not as INXMLENC says",
                           "warning  declares \"UTF-8\", but is read as INXMLENC \"KOI8-R\" says"};
        QTest::newRow("same outputs") << settings("<META>rds.txt</META><NEWXML>doc.xml</NEWXML>") << letters << doc << 1
            << QStringList{"warning  META and RDS name the same file: it ends up holding the RDS text",
                           "warning  NEWXML names the document itself: the copy replaces it"};
        QTest::newRow("output folder missing") << settings("<RDS>none/rds.txt</RDS>") << letters << doc << 2
            << QStringList{"error    RDS \"none/rds.txt\" is in a folder that does not exist: the pass stops with \"cant create RDS\""};
        QTest::newRow("no declaration, no artist") << settings() << letters << QByteArray("<NAME>x</NAME>") << 1
            << QStringList{"warning  no ARTIST value: the RDS file gets \"-\" for artist and title",
                           "warning  the copy is written in \"windows-1251\" but keeps its text unchanged: there is no quoted encoding= to rewrite",
                           "ok       RDS file: \"- - -\""};
        QTest::newRow("long RadioText") << settings() << letters << "<ARTIST>" + QByteArray(70, 'x') + "</ARTIST><NAME>ab</NAME>" << 1
            << QStringList{"warning  the RDS text has 75 characters; RadioText shows 64 (the pass still writes them all)"};
        QTest::newRow("no settings") << QByteArray() << letters << doc << 2
            << QStringList{"error    cannot be read (missing, unreadable or over 16 MiB): the pass stops with \"cant read settings\""};
        QTest::newRow("no letters") << settings() << QByteArray() << doc << 2
            << QStringList{"error    cannot be read (missing, unreadable or over 16 MiB): the pass stops with \"cant read russian letters\""};
    }
    // clang-format on
    void traps()
    {
        QFETCH(QByteArray, settingsFile);
        QFETCH(QByteArray, lettersFile);
        QFETCH(QByteArray, docFile);
        QTemporaryDir dir;
        const QList<QPair<QString, QByteArray>> files = {
            {"settings.txt", settingsFile}, {"rusletters.txt", lettersFile}, {"doc.xml", docFile}};
        for (const auto &file : files)
            put(dir.path(), file.first, file.second.isEmpty() ? absent : file.second);
        const QStringList before = listing(dir.path());

        QTemporaryDir elsewhere; // the folder is given as an argument
        const Run run = check(elsewhere.path(), {dir.path()});
        QTEST(run.status, "status");
        QFETCH(QStringList, findings);
        // Each expected finding starts a line with its level.
        for (const QString &finding : findings)
            QVERIFY2(run.out.contains("\n  " + finding), qPrintable(finding + "\n---\n" + run.out));
        QCOMPARE(listing(dir.path()), before);

        const Run json = check(elsewhere.path(), {"--json", dir.path()});
        const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(json.status, run.status);
        QCOMPARE(report.value("status").toInt(), run.status);
        QVERIFY(!report.value("findings").toArray().isEmpty());
    }

    void arguments()
    {
        QCOMPARE(check(".", {"--help"}).status, 0);
        QCOMPARE(check(".", {"--verbose"}).status, 2);
        QCOMPARE(check(".", {"/nonexistent/folder"}).status, 2);
    }
};

QTEST_GUILESS_MAIN(Check)
#include "tst_check.moc"
