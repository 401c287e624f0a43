// SPDX-License-Identifier: MIT
// The bad-hours decision: which hour of which weekday a settings text blocks.
#include "settings.h"

#include <QtTest>

class SettingsFile : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
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
    // clang-format on
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
