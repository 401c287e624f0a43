// SPDX-License-Identifier: MIT
// Latin forms with placeholders, and the rewrite of the name in the XML declaration.
#include "declaration.h"
#include "encoding.h"
#include "on_air_text.h"

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

    // The copy is written in UTF-8 unless the row says otherwise.
    // clang-format off
    void rewrite_declaration_data()
    {
        QTest::addColumn<QString>("doc");
        QTest::addColumn<QString>("copyEncoding");
        QTest::addColumn<QString>("copy");
        const QString utf8 = "UTF-8";
        QTest::newRow("declared name replaced")
            << "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a/>" << utf8 << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>";
        QTest::newRow("single quotes") << "<?xml version='1.0' encoding='cp1251'?>" << utf8 << "<?xml version='1.0' encoding='UTF-8'?>";
        QTest::newRow("longer declared name") << "<?xml version=\"1.0\" encoding=\"windows-1251x\"?>" << utf8
                                              << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        QTest::newRow("blanks around the equals sign") << "<?xml version=\"1.0\" encoding = \"windows-1251\"?>" << utf8
                                                       << "<?xml version=\"1.0\" encoding = \"UTF-8\"?>";
        QTest::newRow("white space before the declaration") << "\n <?xml\tencoding=\"cp1251\"?>" << utf8
                                                            << "\n <?xml\tencoding=\"UTF-8\"?>";
        QTest::newRow("first encoding only") << "<?xml encoding=\"a\" encoding=\"b\"?>" << utf8
                                             << "<?xml encoding=\"UTF-8\" encoding=\"b\"?>";
        QTest::newRow("same encoding in another spelling stays") << "<?xml version=\"1.0\" encoding=\"cp1251\"?>"
                                                                 << "windows-1251" << "<?xml version=\"1.0\" encoding=\"cp1251\"?>";
        QTest::newRow("attribute after the declaration") << "<?xml version=\"1.0\"?><track encoding=\"MP3\"/>" << utf8
                                                         << "<?xml version=\"1.0\"?><track encoding=\"MP3\"/>";
        QTest::newRow("no declaration") << "<track encoding=\"MP3\"/>" << utf8 << "<track encoding=\"MP3\"/>";
        QTest::newRow("another instruction") << "<?xml-stylesheet encoding=\"cp1251\"?>" << utf8
                                             << "<?xml-stylesheet encoding=\"cp1251\"?>";
        QTest::newRow("quote past the declaration's end") << "<?xml encoding=\"a?>\"" << utf8 << "<?xml encoding=\"a?>\"";
        QTest::newRow("no quote") << "<?xml encoding=cp1251 ?>" << utf8 << "<?xml encoding=cp1251 ?>";
        QTest::newRow("unclosed declaration") << "<?xml encoding=\"cp1251\"" << utf8 << "<?xml encoding=\"cp1251\"";
        QTest::newRow("case-sensitive name") << "<?xml Encoding=\"cp1251\"?>" << utf8 << "<?xml Encoding=\"cp1251\"?>";
    }
    // clang-format on
    void rewrite_declaration()
    {
        QFETCH(QString, doc);
        QFETCH(QString, copyEncoding);
        QTEST(::rewrite_declaration(doc, codec_for_name(copyEncoding), copyEncoding), "copy");
    }
};

QTEST_APPLESS_MAIN(Conversion)
#include "tst_conversion.moc"
