// Whole passes of the built binary in a temporary folder: exact output bytes,
// messages, exit status, and no file touched beyond the configured outputs.
#include <QtTest>

namespace {

const QByteArray absent = "\x01(absent)";

QByteArray cp1251(const char *utf8)
{
    return QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(utf8));
}

// A tag written before the base settings overrides it: the first one wins.
QByteArray settings(const QByteArray &overrides = {})
{
    return overrides + "<XML>doc.xml</XML><INXMLENC>windows-1251</INXMLENC>\n"
                       "<NEWXML>out.xml</NEWXML><OUTXMLENC>UTF-8</OUTXMLENC>\n"
                       "<META>meta.txt</META><METASPLITTER> - </METASPLITTER>"
                       "<METAENC>windows-1251</METAENC>\n"
                       "<RDS>rds.txt</RDS><RDSSPLITTER> / </RDSSPLITTER>\n";
}

QByteArray utf16_crlf(const QByteArray &utf8)
{
    QByteArray text = utf8;
    text.replace("\n", "\r\n");
    return QTextCodec::codecForName("UTF-16LE")->fromUnicode(
        QChar(QChar::ByteOrderMark) + QString::fromUtf8(text));
}

const QByteArray letters = QStringLiteral("абвгдежзийклмнопрстуфхцчшщъыьэюя"
                                          "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ").toUtf8();
const char *const docText = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                            "<np><ARTIST>Кино</ARTIST>\r\n<NAME>Звезда; по имени Солнце</NAME></np>\r\n";
const QByteArray copyUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<np><ARTIST>Кино</ARTIST>\n<NAME>Звезда; по имени Солнце</NAME></np>\n";
const char *const docMeta = "Кино - Звезда; по имени Солнце";
const QByteArray meta = cp1251(docMeta);
const QByteArray rds = "Kino / Zvezda,  po imeni Solntse";

void put(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    if (bytes == absent)
        return;
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray contents(const QTemporaryDir &dir, const QString &name)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : absent;
}

struct Result {
    int status = -1;
    QByteArray out, err;
};

Result run_in(const QTemporaryDir &dir, const QStringList &prefix = {})
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("TZ", "UTC");
    // faketime preloads its library ahead of a sanitized binary's runtime.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    process.setProcessEnvironment(env);
    // Arguments must be ignored, so every pass gets some.
    const QStringList args{"--help", "settings.txt"};
    if (prefix.isEmpty())
        process.start(NOWPLAYING_BIN, args);
    else
        process.start(prefix.first(), prefix.mid(1) + QStringList{NOWPLAYING_BIN} + args);
    process.waitForFinished(60000);
    Result r;
    if (process.exitStatus() == QProcess::NormalExit)
        r.status = process.exitCode();
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}

} // namespace

class EndToEnd : public QObject {
    Q_OBJECT
private slots:
    void pass_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<QByteArray>("lettersFile");
        QTest::addColumn<QByteArray>("doc");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("copy");
        QTest::addColumn<QByteArray>("metaFile");
        QTest::addColumn<QByteArray>("rdsFile");
        const QByteArray doc = cp1251(docText);
        const QByteArray big(16 * 1024 * 1024, ' ');

        QTest::newRow("windows-1251 to UTF-8")
            << settings() << letters << doc << QByteArray() << copyUtf8 << meta << rds;
        QTest::newRow("UTF-16 settings with mark and CR LF")
            << utf16_crlf(settings()) << letters << doc << QByteArray() << copyUtf8 << meta << rds;
        QTest::newRow("UTF-8 settings with mark, Cyrillic splitters")
            << "\xEF\xBB\xBF" + settings("<METASPLITTER> — </METASPLITTER><RDSSPLITTER> — </RDSSPLITTER>")
            << letters << doc << QByteArray() << copyUtf8 << cp1251("Кино — Звезда; по имени Солнце")
            << QByteArray("Kino — Zvezda,  po imeni Solntse");
        const QString metaText = QString::fromUtf8(docMeta);
        QTest::newRow("UTF-16 META without mark")
            << settings("<METAENC>UTF-16LE</METAENC>") << letters << doc << QByteArray() << copyUtf8
            << QByteArray(reinterpret_cast<const char *>(metaText.utf16()), metaText.size() * 2) << rds;
        QTest::newRow("settings at the size bound")
            << settings() + big.left(big.size() - settings().size()) << letters << doc
            << QByteArray() << copyUtf8 << meta << rds;
        QTest::newRow("equal encodings keep the declaration")
            << settings("<OUTXMLENC>windows-1251</OUTXMLENC>") << letters << doc << QByteArray()
            << cp1251(docText).replace("\r", "") << meta << rds;
        QTest::newRow("declaration spelled differently")
            << settings() << letters << cp1251(docText).replace("windows-1251", "cp1251")
            << QByteArray() << copyUtf8 << meta << rds;
        QTest::newRow("no artist")
            << settings() << letters << cp1251("<NAME>Звезда</NAME>") << QByteArray()
            << QByteArray("<NAME>Звезда</NAME>") << cp1251(" - Звезда") << QByteArray("- / -");
        QTest::newRow("no settings")
            << absent << letters << doc << QByteArray("cant read settings\n") << absent << absent << absent;
        QTest::newRow("settings too large")
            << settings() + big << letters << doc << QByteArray("cant read settings\n")
            << absent << absent << absent;
        QTest::newRow("no letters")
            << settings() << absent << doc << QByteArray("cant read russian letters\n")
            << absent << absent << absent;
        QTest::newRow("letters too large")
            << settings() << letters + big << doc << QByteArray("cant read russian letters\n")
            << absent << absent << absent;
        QTest::newRow("no document")
            << settings() << letters << absent << QByteArray("cant open XML\n") << absent << absent << absent;
        QTest::newRow("empty document path")
            << settings("<XML></XML>") << letters << doc << QByteArray("cant open XML\n")
            << absent << absent << absent;
        QTest::newRow("document is a folder")
            << settings("<XML>.</XML>") << letters << doc << QByteArray("cant open XML\n")
            << absent << absent << absent;
        QTest::newRow("endless document")
            << settings("<XML>/dev/zero</XML>") << letters << doc << QByteArray("cant open XML\n")
            << absent << absent << absent;
        QTest::newRow("copy not created")
            << settings("<NEWXML>none/out.xml</NEWXML>") << letters << doc
            << QByteArray("cant create XML\n") << absent << absent << absent;
        QTest::newRow("META not created")
            << settings("<META></META>") << letters << doc << QByteArray("cant create META file\n")
            << copyUtf8 << absent << absent;
        QTest::newRow("RDS not created")
            << settings("<RDS>none/rds.txt</RDS>") << letters << doc << QByteArray("cant create RDS\n")
            << copyUtf8 << meta << absent;
        QTest::newRow("copy not written")
            << settings("<NEWXML>/dev/full</NEWXML>") << letters << doc
            << QByteArray("cant write XML\n") << absent << absent << absent;
        QTest::newRow("META not written")
            << settings("<META>/dev/full</META>") << letters << doc
            << QByteArray("cant write META file\n") << copyUtf8 << absent << absent;
        QTest::newRow("RDS not written")
            << settings("<RDS>/dev/full</RDS>") << letters << doc << QByteArray("cant write RDS\n")
            << copyUtf8 << meta << absent;
    }
    void pass()
    {
        QFETCH(QByteArray, settingsFile);
        QFETCH(QByteArray, lettersFile);
        QFETCH(QByteArray, doc);
        QTemporaryDir dir;
        put(dir, "settings.txt", settingsFile);
        put(dir, "rusletters.txt", lettersFile);
        put(dir, "doc.xml", doc);
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);

        const Result r = run_in(dir);
        QTEST(r.err, "message");
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.status, 0);
        QTEST(contents(dir, "out.xml"), "copy");
        QTEST(contents(dir, "meta.txt"), "metaFile");
        QTEST(contents(dir, "rds.txt"), "rdsFile");
        QCOMPARE(contents(dir, "doc.xml"), doc);
        QStringList created = QDir(dir.path()).entryList(QDir::Files);
        for (const QString &name : before + QStringList{"out.xml", "meta.txt", "rds.txt"})
            created.removeAll(name);
        QCOMPARE(created, QStringList());
    }

    void huge_sparse_document()
    {
        QTemporaryDir dir;
        put(dir, "settings.txt", settings());
        put(dir, "rusletters.txt", letters);
        QFile huge(dir.filePath("doc.xml"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(3) << 30));
        huge.close();
        const Result r = run_in(dir);
        QCOMPARE(r.err, QByteArray("cant open XML\n"));
        QCOMPARE(r.status, 0);
    }

    // The clock is faked; a pass that is not blocked stops at the missing
    // letters file, a blocked one says nothing.
    void bad_hours_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QByteArray>("hours");
        QTest::addColumn<QByteArray>("message");
        const QByteArray runs = "cant read russian letters\n";
        QTest::newRow("Sunday night blocked") << "2026-12-06 01:30:00" << QByteArray("<TIME7>0,1,2</TIME7>") << QByteArray();
        QTest::newRow("Sunday morning runs") << "2026-12-06 03:00:00" << QByteArray("<TIME7>0,1,2</TIME7>") << runs;
        QTest::newRow("Monday's tag on Sunday") << "2026-12-06 01:30:00" << QByteArray("<TIME1>0,1,2</TIME1>") << runs;
        QTest::newRow("Monday blocked") << "2026-12-07 23:59:00" << QByteArray("<TIME1>23</TIME1>") << QByteArray();
        QTest::newRow("blank in list") << "2026-12-07 02:10:00" << QByteArray("<TIME1>1, 2</TIME1>") << runs;
    }
    void bad_hours()
    {
        const QString faketime = QStandardPaths::findExecutable("faketime");
        if (faketime.isEmpty())
            QSKIP("faketime is not installed");
        QFETCH(QString, time);
        QFETCH(QByteArray, hours);
        QTemporaryDir dir;
        put(dir, "settings.txt", settings(hours));
        const Result r = run_in(dir, {faketime, "-f", "@" + time});
        QTEST(r.err, "message");
        QCOMPARE(r.status, 0);
    }
};

QTEST_GUILESS_MAIN(EndToEnd)
#include "tst_end_to_end.moc"
