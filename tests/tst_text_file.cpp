// SPDX-License-Identifier: MIT
// Reading inputs: configuration files saved without a byte-order mark, and
// inputs refused because reading them would hang; file identity by link.
#include "folder_run.h"
#include "paths.h"
#include "text_file.h"

class TextFile : public QObject {
    Q_OBJECT
private slots:
    // The locale encoding is windows-1251 here, as on a Russian Windows.
    // clang-format off
    void config_file_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTextCodec *const cp1251 = QTextCodec::codecForName("windows-1251");
        const QString letters = "ёАя";
        QTest::newRow("UTF-8 without a mark, as Notepad saves") << letters.toUtf8() << letters;
        QTest::newRow("the locale encoding") << cp1251->fromUnicode(letters) << letters;
        QTest::newRow("UTF-8 cut inside a letter is not UTF-8") << QByteArray("a\xD0") << "aР";
        QTest::newRow("a mark decides") << QByteArray("\xFF\xFE\x16\x04") << "Ж";
    }
    // clang-format on
    void config_file()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", bytes);
        const std::optional<QString> text = read_config_file(
            dir.filePath("settings.txt"), QTextCodec::codecForName("windows-1251"));
        QVERIFY(text);
        QTEST(*text, "text");
    }

    // A FIFO would keep the pass waiting for a writer for ever.
    void fifo_is_refused()
    {
        SKIP_IF_LINUX_ONLY();
        QTemporaryDir dir;
        put(dir.path(), "fifo", ::fifo);
        QVERIFY(!read_text_file(dir.filePath("fifo"), nullptr));
        QVERIFY(!read_config_file(dir.filePath("fifo"), nullptr));
    }

    // clang-format off
    void identity_data()
    {
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("same");
        QTest::newRow("other spelling") << "./sub/../file" << true;
        QTest::newRow("symbolic link") << "symlink" << true;
        QTest::newRow("hard link") << "hardlink" << true;
        QTest::newRow("another file") << "another" << false;
        QTest::newRow("missing file") << "missing" << false;
    }
    // clang-format on
    void identity()
    {
        SKIP_IF_LINUX_ONLY();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        put(dir.path(), "file", "x");
        put(dir.path(), "another", "x");
#ifndef Q_OS_WIN
        QVERIFY(QFile::link(dir.filePath("file"), dir.filePath("symlink")));
#endif
        QVERIFY(hard_link(dir.filePath("file"), dir.filePath("hardlink")));
        QFETCH(QString, other);
        QTEST(same_file(dir.filePath("file"), dir.filePath(other)), "same");
    }

    // Outputs that Windows writes as devices, in place.
    // clang-format off
    void windows_device_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("device");
        QTest::newRow("NUL") << "NUL" << true;
        QTest::newRow("nul with an extension, in a folder") << "C:\\out\\nul.txt" << true;
        QTest::newRow("COM1 with a colon") << "com1:" << true;
        QTest::newRow("COM10 only in the device namespace") << "COM10" << false;
        QTest::newRow("device namespace") << "\\\\.\\COM10" << true;
        QTest::newRow("named pipe") << "//./pipe/rds" << true;
        QTest::newRow("a name that starts like one") << "NULL.txt" << false;
        QTest::newRow("a file") << "C:/onair/rds.txt" << false;
    }
    // clang-format on
    void windows_device()
    {
        QFETCH(QString, path);
        QTEST(is_windows_device_path(path), "device");
    }
};

QTEST_GUILESS_MAIN(TextFile)
#include "tst_text_file.moc"
