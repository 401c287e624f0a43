// SPDX-License-Identifier: MIT
// Decoding a title or artist as an XML reader would: entities, character
// references, CDATA sections, comments, and what stays as written.
#include "xml_text.h"

#include <QtTest>

class XmlText : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
    void decode_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("ampersand") << "Simon &amp; Garfunkel" << "Simon & Garfunkel";
        QTest::newRow("the five entities") << "&lt;&gt;&quot;&apos;&amp;" << "<>\"'&";
        QTest::newRow("one pass from left to right") << "&amp;lt;" << "&lt;";
        QTest::newRow("decimal and hexadecimal") << "&#1050;&#x438;&#x43D;&#01086;" << "Кино";
        QTest::newRow("beyond the basic plane") << "&#x1F3B5;" << QString::fromUcs4(U"\U0001F3B5");
        QTest::newRow("no character") << "&#0;&#xD800;&#x110000;&#99999999999;" << "&#0;&#xD800;&#x110000;&#99999999999;";
        QTest::newRow("malformed references") << "&#;&#x;&#12a;&#X41;" << "&#;&#x;&#12a;&#X41;";
        QTest::newRow("unknown, bare and unended") << "&bogus; R & B &amp" << "&bogus; R & B &amp";
        QTest::newRow("CDATA as it stands") << "<![CDATA[a &amp; <b>]]> &amp;" << "a &amp; <b> &";
        QTest::newRow("unclosed CDATA") << "<![CDATA[a &amp;" << "<![CDATA[a &";
        QTest::newRow("comment left out") << "Song<!-- &amp; edited -->!" << "Song!";
        QTest::newRow("comment in CDATA stays") << "<![CDATA[<!-- a -->]]>" << "<!-- a -->";
        QTest::newRow("unclosed comment") << "a<!-- b &amp;" << "a<!-- b &";
    }
    // clang-format on
    void decode()
    {
        QFETCH(QString, value);
        QTEST(decode_xml_text(value), "text");
    }
};

QTEST_APPLESS_MAIN(XmlText)
#include "tst_xml_text.moc"
