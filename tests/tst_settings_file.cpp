// Settings loading (byte-order marks, CR LF, missing and repeated tags, size
// bound) and the bad-hours decision.
#include "settings_file.h"
#include "text_file.h"

#include <QtTest>

namespace {
QByteArray utf16_with_mark(const QString &text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return bytes;
}
} // namespace

class SettingsFile : public QObject {
    Q_OBJECT
private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("xmlName");
        QTest::addColumn<QString>("metaSplitter");
        QTest::addColumn<QString>("rdsSplitter");
        const QString cyrillic = QStringLiteral("<XML>a.xml</XML><METASPLITTER> — </METASPLITTER>"
                                                "<RDSSPLITTER>\r\n</RDSSPLITTER>");
        QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBF" + cyrillic.toUtf8() << "a.xml" << " — " << "\n";
        QTest::newRow("UTF-16LE with mark")
            << utf16_with_mark(cyrillic, false) << "a.xml" << " — " << "\n";
        QTest::newRow("UTF-16BE with mark")
            << utf16_with_mark(cyrillic, true) << "a.xml" << " — " << "\n";
        QTest::newRow("only some tags") << QByteArray("remark <XML>x</XML>") << "x" << "" << "";
        QTest::newRow("first of repeated tags")
            << QByteArray("<XML>1</XML><XML>2</XML>") << "1" << "" << "";
        QTest::newRow("blank after tag kept") << QByteArray("<XML> a.xml</XML>") << " a.xml" << "" << "";
        QTest::newRow("unclosed tag") << QByteArray("<XML>a.xml\n<META>m</META>") << "" << "" << "";
    }
    void load()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const std::optional<RunSettings> settings = load_settings(path);
        QVERIFY(settings);
        QTEST(settings->xmlName, "xmlName");
        QTEST(settings->metaSplitter, "metaSplitter");
        QTEST(settings->rdsSplitter, "rdsSplitter");
    }

    void size_bound()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray head("<XML>x</XML>");
        file.write(head + QByteArray(int(maxInputBytes) - head.size(), ' '));
        file.close();
        QCOMPARE(load_settings(path)->xmlName, QString("x"));
        QVERIFY(file.open(QIODevice::Append));
        file.write(" ");
        file.close();
        QVERIFY(!load_settings(path));
        QVERIFY(!load_settings(dir.filePath("missing.txt")));
        QVERIFY(!load_settings(dir.path()));
        QVERIFY(!load_settings("/dev/zero"));
    }

    void bad_hours_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<bool>("blocked");
        const QString night = "<TIME7>0,1,2</TIME7>";
        QTest::newRow("midnight") << night << 7 << 0 << true;
        QTest::newRow("last listed hour") << night << 7 << 2 << true;
        QTest::newRow("next hour runs") << night << 7 << 3 << false;
        QTest::newRow("other day's tag") << night << 1 << 1 << false;
        QTest::newRow("blank before item") << "<TIME1>1, 2</TIME1>" << 1 << 2 << false;
        QTest::newRow("item before blank") << "<TIME1>1, 2</TIME1>" << 1 << 1 << true;
        QTest::newRow("leading zero") << "<TIME3>01</TIME3>" << 3 << 1 << false;
        QTest::newRow("empty value") << "<TIME3></TIME3>" << 3 << 0 << false;
        QTest::newRow("absent tag") << "" << 3 << 0 << false;
        QTest::newRow("trailing comma") << "<TIME4>23,</TIME4>" << 4 << 23 << true;
        QTest::newRow("double digits") << "<TIME5>12</TIME5>" << 5 << 1 << false;
    }
    void bad_hours()
    {
        QFETCH(QString, settings);
        QFETCH(int, day);
        QFETCH(int, hour);
        QTEST(in_bad_hours(settings_from_text(settings), day, hour), "blocked");
    }
};

QTEST_APPLESS_MAIN(SettingsFile)
#include "tst_settings_file.moc"
