// SPDX-License-Identifier: MIT
// Tag value extraction: literal tags, first pair wins, empty elements, comments, nothing trimmed or
// decoded.
#include "tag_extract.h"

#include <QtTest>

class TagExtract : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
    void extract_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "a<NAME>Song</NAME>b" << "NAME" << "Song";
        QTest::newRow("neither tag") << "no tags" << "NAME" << "";
        QTest::newRow("opening only") << "<NAME>Song" << "NAME" << "";
        QTest::newRow("closing only") << "Song</NAME>" << "NAME" << "";
        QTest::newRow("adjacent") << "<NAME></NAME>" << "NAME" << "";
        QTest::newRow("blanks and lines kept") << "<NAME> a\n b \n</NAME>" << "NAME" << " a\n b \n";
        QTest::newRow("case-sensitive") << "<name>x</name>" << "NAME" << "";
        QTest::newRow("first pair wins") << "<NAME>1</NAME><NAME>2</NAME>" << "NAME" << "1";
        QTest::newRow("stray closing tag first") << "</NAME><NAME>x</NAME>tail" << "NAME" << "x";
        QTest::newRow("closing tag only before opening") << "</NAME> <NAME>x" << "NAME" << "";
        QTest::newRow("attribute does not match") << "<NAME lang=\"ru\">x</NAME>" << "NAME" << "";
        QTest::newRow("entity stays") << "<NAME>a &amp; b</NAME>" << "NAME" << "a &amp; b";
        QTest::newRow("empty element before the value")
            << "<Current><ARTIST/><NAME>Jingle</NAME></Current><Next><ARTIST>Кино</ARTIST>" << "ARTIST" << "";
        QTest::newRow("empty element with white space") << "<NAME \n/><NAME>x</NAME>" << "NAME" << "";
        QTest::newRow("empty element after the value") << "<NAME>x</NAME><NAME/>" << "NAME" << "x";
        QTest::newRow("empty element of a longer name") << "<NAMES/><NAME>x</NAME>" << "NAME" << "x";
        QTest::newRow("META is not METAENC")
            << "<METAENC>cp</METAENC><METASPLITTER>-</METASPLITTER><META>m.txt</META>"
            << "META" << "m.txt";
        QTest::newRow("XML is not NEWXML") << "<NEWXML>n</NEWXML><XML>x</XML>" << "XML" << "x";
        QTest::newRow("tags in a comment skipped")
            << "<!-- <NAME>T</NAME> --><NAME>x</NAME>" << "NAME" << "x";
        QTest::newRow("closing tag in a comment skipped")
            << "<NAME>x<!-- </NAME> --></NAME>" << "NAME" << "x<!-- </NAME> -->";
        QTest::newRow("empty element in a comment skipped") << "<!--<NAME/>--><NAME>x</NAME>" << "NAME" << "x";
        QTest::newRow("unclosed comment hides the rest") << "<!-- <NAME>x</NAME>" << "NAME" << "";
        QTest::newRow("tag after two comments")
            << "<!--a--><!--<NAME>b</NAME>--><NAME>x</NAME>" << "NAME" << "x";
        QTest::newRow("built name") << "<TIME7>0,1</TIME7>" << "TIME7" << "0,1";
    }
    // clang-format on
    void extract()
    {
        QFETCH(QString, text);
        QFETCH(QString, tag);
        QFETCH(QString, value);
        QCOMPARE(::extract(text, tag), value);
    }
};

QTEST_APPLESS_MAIN(TagExtract)
#include "tst_tag_extract.moc"
