// SPDX-License-Identifier: MIT
// Latin forms with placeholders, and the declaration's encoding-name rewrite.
#include "conversion.h"

#include <QtTest>

class Conversion : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
    void latin_forms_data()
    {
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("latinArtist");
        QTest::addColumn<QString>("latinTitle");
        QTest::newRow("both") << "Кино" << "Кукушка" << "Kino" << "Kukushka";
        QTest::newRow("no artist") << "" << "Кукушка" << "-" << "-";
        QTest::newRow("no title") << "Кино" << "" << "-" << "-";
        QTest::newRow("neither") << "" << "" << "-" << "-";
        QTest::newRow("blanks count as present") << " " << "\n" << " " << "\n";
        QTest::newRow("semicolon in title only") << "А;Б" << "В;Г" << "A;B" << "V, G";
    }
    // clang-format on
    void latin_forms()
    {
        QFETCH(QString, artist);
        QFETCH(QString, name);
        const LatinForms latin = ::latin_forms(
            artist, name,
            QStringLiteral("абвгдежзийклмнопрстуфхцчшщъыьэюяАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"));
        QTEST(latin.artist, "latinArtist");
        QTEST(latin.title, "latinTitle");
    }

    // clang-format off
    void rewrite_encoding_data()
    {
        QTest::addColumn<QString>("doc");
        QTest::addColumn<QString>("documentEncoding");
        QTest::addColumn<QString>("copy");
        const QString decl = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a/>";
        QTest::newRow("same names") << decl << "UTF-8" << decl;
        QTest::newRow("double quotes") << decl << "windows-1251"
                                       << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>";
        QTest::newRow("single quotes") << "<?xml encoding='windows-1251'?>" << "x" << "<?xml encoding='UTF-8'?>";
        QTest::newRow("shorter declared name") << "encoding=\"cp1251\"?>" << "windows-1251"
                                               << "encoding=\"UTF-8\"?>";
        QTest::newRow("longer declared name") << "encoding=\"windows-1251x\"" << "cp1251"
                                              << "encoding=\"UTF-8\"";
        QTest::newRow("first occurrence only") << "encoding=\"a\" encoding=\"b\"" << "x"
                                               << "encoding=\"UTF-8\" encoding=\"b\"";
        QTest::newRow("no declaration") << "<a>encoding</a>" << "x" << "<a>encoding</a>";
        QTest::newRow("no quote") << "encoding=cp1251 " << "x" << "encoding=cp1251 ";
        QTest::newRow("unclosed quote") << "encoding=\"cp1251" << "x" << "encoding=\"cp1251";
        QTest::newRow("key at the end") << "encoding=" << "x" << "encoding=";
        QTest::newRow("case-sensitive key") << "Encoding=\"a\"" << "x" << "Encoding=\"a\"";
    }
    // clang-format on
    void rewrite_encoding()
    {
        QFETCH(QString, doc);
        QFETCH(QString, documentEncoding);
        QTEST(::rewrite_encoding(doc, documentEncoding, "UTF-8"), "copy");
    }
};

QTEST_APPLESS_MAIN(Conversion)
#include "tst_conversion.moc"
