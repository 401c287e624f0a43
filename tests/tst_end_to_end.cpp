// SPDX-License-Identifier: MIT
// Whole passes of the built binary in a temporary folder: exact output bytes,
// messages, exit status, and no file touched beyond the configured outputs.
#include "folder_run.h"
#include "pass_lock.h"

namespace {

QByteArray cp1251(const char *utf8)
{
    return QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(utf8));
}

// A literal with its NUL bytes.
template <int N> QByteArray raw(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
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
    return utf16le(text, true);
}

const char *const docText =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
    "<np><ARTIST>Кино</ARTIST>\r\n<NAME>Звезда; по имени Солнце</NAME></np>\r\n";
const QByteArray copyUtf8 =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<np><ARTIST>Кино</ARTIST>\n<NAME>Звезда; по имени Солнце</NAME></np>\n";
const char *const docMeta = "Кино - Звезда; по имени Солнце";
const QByteArray meta = cp1251(docMeta);
const QByteArray rds = "Kino / Zvezda,  po imeni Solntse";

// The three inputs of a sound pass, with `settingsFile` for the settings.
void put_inputs(const QString &folder, const QByteArray &settingsFile = settings())
{
    put(folder, "settings.txt", settingsFile);
    put(folder, "rusletters.txt", letters);
    put(folder, "doc.xml", cp1251(docText));
}

Result run_in(const QTemporaryDir &dir, const QStringList &prefix = {})
{
    // Arguments must be ignored, so every pass gets some.
    return run_program(NOWPLAYING_BIN, dir.path(), {"--help", "settings.txt"}, prefix);
}

void add_input_columns()
{
    QTest::addColumn<QByteArray>("settingsFile");
    QTest::addColumn<QByteArray>("lettersFile");
    QTest::addColumn<QByteArray>("doc");
    QTest::addColumn<QByteArray>("message");
}

// Runs the current row's pass and checks what holds for every pass: its
// message, exit status 0, nothing on standard output, the inputs unchanged
// and no file created beyond the three outputs.
void run_row(const QTemporaryDir &dir)
{
    QFETCH(QByteArray, settingsFile);
    QFETCH(QByteArray, lettersFile);
    QFETCH(QByteArray, doc);
    const QMap<QString, QByteArray> inputs{
        {"settings.txt", settingsFile}, {"rusletters.txt", lettersFile}, {"doc.xml", doc}};
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        put(dir.path(), it.key(), it.value());
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);

    const Result r = run_in(dir);
    QTEST(r.err, "message");
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.status, 0);
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        if (it.value() != sparse && it.value() != fifo)
            QCOMPARE(contents(dir.path(), it.key()), it.value());
    QStringList created = QDir(dir.path()).entryList(QDir::Files);
    for (const QString &name : before + QStringList{"out.xml", "meta.txt", "rds.txt"})
        created.removeAll(name);
    QCOMPARE(created, QStringList());
}

} // namespace

class EndToEnd : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
    void pass_data()
    {
        add_input_columns();
        QTest::addColumn<QByteArray>("copy");
        QTest::addColumn<QByteArray>("metaFile");
        QTest::addColumn<QByteArray>("rdsFile");
        const QByteArray doc = cp1251(docText);
        const QByteArray big(16 * 1024 * 1024, ' ');

        QTest::newRow("windows-1251 to UTF-8")
            << settings() << letters << doc << QByteArray() << copyUtf8 << meta << rds;
        QTest::newRow("LATIN UK: Ukraine's spellings in the RDS file (the code in any case), META as it was")
            << settings("<LATIN>UK</LATIN>") << letters << doc << QByteArray() << copyUtf8 << meta
            << QByteArray("Kyno / Zvezda,  po ymeny Solntse");
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
        // The document is read in chunks of 64 KiB: a letter split between two
        // of them must still be decoded whole.
        const QByteArray split = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--" +
                                 QByteArray(65536 - 55, '-') + "--><ARTIST>Жуки</ARTIST><NAME>x</NAME>";
        QTest::newRow("letter across a read chunk")
            << settings("<INXMLENC>UTF-8</INXMLENC><OUTXMLENC>UTF-8</OUTXMLENC>") << letters
            << split << QByteArray() << split << cp1251("Жуки - x") << QByteArray("Zhuki / x");
        // What XML writers escape is decoded for META and RDS; the copy keeps
        // the document as it stands.
        const QByteArray utf8In = settings("<INXMLENC>UTF-8</INXMLENC>");
        const QByteArray escaped = "<ARTIST>Simon &amp; Garfunkel</ARTIST><NAME>Rock &amp; Roll &quot;Live&quot;</NAME>";
        QTest::newRow("escaped title and artist")
            << utf8In << letters << escaped << QByteArray() << escaped
            << QByteArray("Simon & Garfunkel - Rock & Roll \"Live\"") << QByteArray("Simon & Garfunkel / Rock & Roll \"Live\"");
        const QByteArray cdata = "<ARTIST><![CDATA[AC/DC &amp;]]></ARTIST><NAME><![CDATA[]]></NAME>";
        QTest::newRow("CDATA as it stands, empty once decoded")
            << utf8In << letters << cdata << QByteArray() << cdata << QByteArray("AC/DC &amp; - ") << QByteArray("- / -");
        const QByteArray jingle = "<Current><ARTIST/><NAME>Jingle</NAME></Current><Next><ARTIST>Кино</ARTIST></Next>";
        QTest::newRow("empty element borrows nothing")
            << utf8In << letters << jingle << QByteArray() << jingle << QByteArray(" - Jingle") << QByteArray("- / -");
        // A comment is not content: its tags count neither in the document
        // nor in the settings, and an unclosed one hides the rest.
        const QByteArray template_ = "<!-- template: <ARTIST>ARTIST</ARTIST><NAME>TITLE</NAME> -->\n"
                                     "<ARTIST>A</ARTIST><NAME>B<!-- edited --></NAME>";
        QTest::newRow("tags in a comment do not count")
            << "<!-- <XML>old.xml</XML> -->" + utf8In << letters << template_ << QByteArray() << template_
            << QByteArray("A - B") << QByteArray("A / B");
        const QByteArray unclosed = "<ARTIST>A</ARTIST><!-- <NAME>B</NAME>";
        QTest::newRow("an unclosed comment hides the rest")
            << utf8In << letters << unclosed << QByteArray() << unclosed << QByteArray("A - ") << QByteArray("- / -");
        const QByteArray attribute = "<?xml version=\"1.0\"?>\n<track encoding=\"MP3\"><ARTIST>A</ARTIST><NAME>B</NAME></track>";
        QTest::newRow("encoding attribute outside the declaration")
            << utf8In << letters << attribute << QByteArray() << attribute << QByteArray("A - B") << QByteArray("A / B");
        QTest::newRow("blanks around the equals sign")
            << settings() << letters << cp1251(docText).replace("encoding=", "encoding = ") << QByteArray()
            << QByteArray(copyUtf8).replace("encoding=", "encoding = ") << meta << rds;
        const QByteArray copyInLocale = in_locale(QByteArray(copyUtf8).replace("UTF-8", locale_encoding_name().toLatin1()));
        QTest::newRow("UTF-16 document copied in the locale encoding")
            << settings("<OUTXMLENC></OUTXMLENC>") << letters << utf16_crlf(QByteArray(docText).replace("windows-1251", "UTF-16"))
            << QByteArray() << copyInLocale << meta << rds;
        QTest::newRow("unknown OUTXMLENC: the declaration names the locale encoding")
            << settings("<OUTXMLENC>MP3</OUTXMLENC>") << letters << doc << QByteArray() << copyInLocale << meta << rds;
        QTest::newRow("OUTXMLENC between line breaks")
            << settings("<OUTXMLENC>\nKOI8-R\n</OUTXMLENC>") << letters << doc << QByteArray()
            << QTextCodec::codecForName("KOI8-R")->fromUnicode(QString::fromUtf8(copyUtf8).replace("UTF-8", "KOI8-R"))
            << meta << rds;
        QTest::newRow("built-in Latin forms")
            << utf8In << letters << QByteArray("<ARTIST>Ёлка</ARTIST><NAME>Всё «Live» – №1</NAME>") << QByteArray()
            << QByteArray("<ARTIST>Ёлка</ARTIST><NAME>Всё «Live» – №1</NAME>") << cp1251("Ёлка - Всё «Live» – №1")
            << QByteArray("Elka / Vse \"Live\" - No1");
        // Qt 5 and Qt 6 encode a lone surrogate differently; both builds write
        // U+FFFD where the encoding has it (UTF-8) and "?" where not (KOI8-R).
        QTest::newRow("lone surrogates")
            << settings("<METAENC>KOI8-R</METAENC>") << letters
            << raw("\xFF\xFE<\0N\0A\0M\0E\0>\0\x00\xD8<\0/\0N\0A\0M\0E\0>\0"
                   "<\0A\0R\0T\0I\0S\0T\0>\0\x00\xDC<\0/\0A\0R\0T\0I\0S\0T\0>\0")
            << QByteArray() << QByteArray("<NAME>\xEF\xBF\xBD</NAME><ARTIST>\xEF\xBF\xBD</ARTIST>")
            << QByteArray("? - ?") << QByteArray("\xEF\xBF\xBD / \xEF\xBF\xBD");
        QTest::newRow("equal encodings keep the declaration")
            << settings("<OUTXMLENC>windows-1251</OUTXMLENC>") << letters << doc << QByteArray()
            << cp1251(docText).replace("\r", "") << meta << rds;
        QTest::newRow("declaration spelled differently")
            << settings() << letters << cp1251(docText).replace("windows-1251", "cp1251")
            << QByteArray() << copyUtf8 << meta << rds;
        // On air, title and artist are one clean line; the copy keeps them.
        const QByteArray untidy = "<ARTIST>  </ARTIST><NAME>\n   Кукушка\n</NAME>";
        QTest::newRow("blank artist, title between line breaks")
            << utf8In << letters << untidy << QByteArray() << untidy << cp1251(" - Кукушка") << QByteArray("- / -");
        const QByteArray controls = raw("<ARTIST>Ки\x07но\x1B</ARTIST><NAME>\tЗвезда \r\n\x00по\xC2\xA0 имени</NAME>");
        QTest::newRow("control characters dropped, white space runs one blank")
            << utf8In << letters << controls << QByteArray() << QByteArray(controls).replace("\r", "")
            << cp1251("Кино - Звезда по имени") << QByteArray("Kino / Zvezda po imeni");
        // A character the RDS file's encoding lacks is "?", never a look-alike
        // (Windows' own conversion would write the note sign as "d").
        QTest::newRow("no look-alikes for what the locale encoding lacks")
            << utf8In << letters << QByteArray("<ARTIST>Ω</ARTIST><NAME>Песня ♫</NAME>") << QByteArray()
            << QByteArray("<ARTIST>Ω</ARTIST><NAME>Песня ♫</NAME>") << cp1251("? - Песня ?")
            << QByteArray("Ω / Pesnya ♫");
        // An emoji is one character: one "?" where the encoding lacks it.
#ifdef Q_OS_WIN
        const QByteArray emojiInLocale = "?";
#else
        const QByteArray emojiInLocale = "🎵";
#endif
        QTest::newRow("emoji where the encoding lacks it")
            << utf8In << letters << QByteArray("<ARTIST>Кино</ARTIST><NAME>Звезда 🎵</NAME>") << QByteArray()
            << QByteArray("<ARTIST>Кино</ARTIST><NAME>Звезда 🎵</NAME>") << cp1251("Кино - Звезда ?")
            << "Kino / Zvezda " + emojiInLocale;
        // Explorer's "Copy as path" puts quotes around a path: no Windows
        // file name holds one, so they go; elsewhere they are the name's.
#ifdef Q_OS_WIN
        QTest::newRow("path in double quotes")
            << settings("<XML>\"doc.xml\"</XML>") << letters << doc << QByteArray() << copyUtf8 << meta << rds;
        QTest::newRow("RDS to the null device") << settings("<RDS>NUL</RDS>") << letters << doc << QByteArray()
            << copyUtf8 << meta << absent;
        QTest::newRow("RDS to the null device in the device namespace") << settings("<RDS>\\\\.\\nul</RDS>")
            << letters << doc << QByteArray() << copyUtf8 << meta << absent;
#else
        QTest::newRow("path in double quotes")
            << settings("<XML>\"doc.xml\"</XML>") << letters << doc << QByteArray("cant open XML\n")
            << absent << absent << absent;
#endif
#ifdef Q_OS_WIN
        // Notepad's "ANSI": the settings in the ANSI code page, without a mark.
        QTest::newRow("settings in the ANSI code page")
            << cp1251(settings("<METASPLITTER> — </METASPLITTER>").constData()) << letters << doc << QByteArray()
            << copyUtf8 << cp1251("Кино — Звезда; по имени Солнце") << rds;
#endif
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
    // clang-format on
    void pass()
    {
        SKIP_IF_LINUX_ONLY();
        QFETCH(QByteArray, rdsFile);
        QTemporaryDir dir;
        run_row(dir);
        QTEST(contents(dir.path(), "out.xml"), "copy");
        QTEST(contents(dir.path(), "meta.txt"), "metaFile");
        QCOMPARE(contents(dir.path(), "rds.txt"), rdsFile == absent ? absent : in_locale(rdsFile));
    }

    // Bad input of every kind ends with the documented message, or with a
    // normal pass, and never touches another file.
    // clang-format off
    void bad_input_data()
    {
        add_input_columns();
        const QByteArray doc = cp1251(docText);
        const QByteArray none, openXml = "cant open XML\n";
        const auto row = [&](const char *name, const QByteArray &s, const QByteArray &l,
                             const QByteArray &d, const QByteArray &message) {
            QTest::newRow(name) << s << l << d << message;
        };
        row("document path is a folder", settings("<XML>.</XML>"), letters, doc, openXml);
        row("copy path is a folder", settings("<NEWXML>.</NEWXML>"), letters, doc, "cant create XML\n");
        row("META path is a folder", settings("<META>.</META>"), letters, doc, "cant create META file\n");
        row("RDS path is a folder", settings("<RDS>.</RDS>"), letters, doc, "cant create RDS\n");
        row("document in a missing folder", settings("<XML>none/doc.xml</XML>"), letters, doc, openXml);
        row("META in a missing folder", settings("<META>none/m</META>"), letters, doc, "cant create META file\n");
        row("copy to /dev/zero", settings("<NEWXML>/dev/zero</NEWXML>"), letters, doc, none);
        row("huge settings", sparse, letters, doc, "cant read settings\n");
        row("huge letters", settings(), sparse, doc, "cant read russian letters\n");
        row("huge document", settings(), letters, sparse, openXml);
        row("empty settings", "", letters, doc, openXml);
        row("empty letters", settings(), "", doc, none);
        row("empty document", settings(), letters, "", none);
        row("settings with only a mark", "\xEF\xBB\xBF", letters, doc, openXml);
        row("settings with only a UTF-16 mark", "\xFF\xFE", letters, doc, openXml);
        row("letters with only a mark", settings(), "\xEF\xBB\xBF", doc, none);
        row("document with only a mark", settings(), letters, "\xFF\xFE", none);
        row("invalid UTF-8 settings", "\xC3\x28\xFF" + settings() + "\xE2\x82", letters, doc, none);
        row("invalid UTF-8 letters", settings(), "\xFF\xC0\x80" + letters, doc, none);
        row("invalid UTF-8 document", settings("<INXMLENC>UTF-8</INXMLENC>"), letters,
            "<NAME>\xC3\x28</NAME><ARTIST>\xED\xA0\x80\xFF</ARTIST>", none);
        row("unmapped windows-1251 byte", settings("<OUTXMLENC>windows-1251</OUTXMLENC>"), letters,
            "<NAME>\x98</NAME><ARTIST>\x98</ARTIST>", none);
        row("lone surrogates in UTF-16", settings("<OUTXMLENC>KOI8-R</OUTXMLENC>"), letters,
            raw("\xFF\xFE<\0N\0A\0M\0E\0>\0\x00\xD8<\0/\0N\0A\0M\0E\0>\0"
                       "<\0A\0R\0T\0I\0S\0T\0>\0\x00\xDC<\0/\0A\0R\0T\0I\0S\0T\0>\0"),
            none);
        row("NUL in the values", settings(raw("<RDSSPLITTER>\0</RDSSPLITTER>")), letters,
            raw("<NAME>\0</NAME><ARTIST>a\0b</ARTIST>"), none);
        row("NUL in a path", settings(raw("<NEWXML>out.xml\0x</NEWXML>")), letters, doc,
            "cant create XML\n");
        row("settings are a FIFO", fifo, letters, doc, "cant read settings\n");
        row("letters are a FIFO", settings(), fifo, doc, "cant read russian letters\n");
        row("document is a FIFO", settings(), letters, fifo, openXml);
        row("copy would replace the letters", settings("<NEWXML>rusletters.txt</NEWXML>"), letters, doc,
            "cant create XML\n");
        row("META would replace the settings", settings("<META>./settings.txt</META>"), letters, doc,
            "cant create META file\n");
        row("RDS would replace the document through a link", settings("<RDS>/proc/self/cwd/doc.xml</RDS>"),
            letters, doc, "cant create RDS\n");
        row("every tag twice", settings() + settings("<XML>x</XML>"), letters, doc, none);
        row("every tag unclosed", settings().replace("</", "<"), letters, doc, openXml);
    }
    // clang-format on
    void bad_input()
    {
        SKIP_IF_LINUX_ONLY();
        QTemporaryDir dir;
        run_row(dir);
    }

    // An output is replaced in one step by a new file, so a reader sees the
    // old bytes or the new, with the mode, owner and links that were there;
    // where that cannot be done it is written in place.
    // clang-format off
    void output_replaced_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("replaced"); // a new file under the name, not the old one rewritten
        QTest::newRow("regular file, mode and owner kept") << "mode 0640, owner 65534" << true;
        QTest::newRow("symbolic link: its target replaced") << "link to sub/target" << true;
        QTest::newRow("second hard link: written in place") << "hard link" << false;
        QTest::newRow("leftover of a killed pass removed") << "leftover" << true;
    }
    // clang-format on
    void output_replaced()
    {
        SKIP_IF_LINUX_ONLY();
#ifndef Q_OS_WIN
        QFETCH(QString, how);
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        put_inputs(dir.path());
        const QByteArray path = QFile::encodeName(dir.filePath("rds.txt"));
        const QByteArray target = QFile::encodeName(dir.filePath("sub/target"));
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        put(dir.path(), "sub/target", "old");
        if (how == "link to sub/target")
            QCOMPARE(symlink("sub/target", path.constData()), 0);
        else if (how == "hard link")
            QCOMPARE(link(target.constData(), path.constData()), 0);
        else
            put(dir.path(), "rds.txt", "old");
        if (how == "leftover")
            put(dir.path(), ".rds.txt.nowplaying-new", "killed");
        if (how.startsWith("mode")) {
            QCOMPARE(chmod(path.constData(), 0640), 0);
            QCOMPARE(chown(path.constData(), 65534, 65534), 0);
        }
        struct stat before, after;
        QCOMPARE(stat(path.constData(), &before), 0);

        QCOMPARE(run_in(dir).err, QByteArray());
        QCOMPARE(contents(dir.path(), "rds.txt"), rds);
        QCOMPARE(stat(path.constData(), &after), 0);
        QCOMPARE(after.st_ino != before.st_ino, replaced);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_nlink, before.st_nlink);
        if (how != "leftover")
            QCOMPARE(contents(dir.path(), "sub/target"),
                     how == "link to sub/target" || how == "hard link" ? rds : QByteArray("old"));
        QVERIFY(QFileInfo(dir.filePath("rds.txt")).isSymLink() == (how == "link to sub/target"));
        QCOMPARE(QDir(dir.path()).entryList({".*nowplaying-new"}, QDir::Files | QDir::Hidden),
                 QStringList());
#endif
    }

    // A new file that cannot be written whole (a size limit stands for a
    // full disk here) is removed: the old output stays whole and the pass
    // reports it as before.
    void output_not_written_whole()
    {
        SKIP_IF_LINUX_ONLY();
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settings("<INXMLENC>UTF-8</INXMLENC>"));
        put(dir.path(), "rusletters.txt", letters);
        put(dir.path(), "doc.xml", "<ARTIST>a</ARTIST><NAME>" + QByteArray(4096, 'b') + "</NAME>");
        put(dir.path(), "out.xml", "old copy");
        // Past 2 KiB a write fails with EFBIG instead of killing the process.
        const Result r =
            run_program("/bin/bash", dir.path(),
                        {"-c", "trap '' XFSZ; ulimit -f 2; exec \"$0\"", NOWPLAYING_BIN});
        QCOMPARE(r.err, QByteArray("cant write XML\n"));
        QCOMPARE(contents(dir.path(), "out.xml"), QByteArray("old copy"));
        QCOMPARE(QDir(dir.path()).entryList({".*nowplaying-new"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // A FIFO output is written in place to its reader; without one the pass
    // gives up after a few seconds instead of hanging.
    void fifo_output()
    {
        SKIP_IF_LINUX_ONLY();
        QTemporaryDir dir;
        put_inputs(dir.path());
        put(dir.path(), "rds.txt", fifo);
        QCOMPARE(run_in(dir).err, QByteArray("cant create RDS\n"));
        QCOMPARE(contents(dir.path(), "meta.txt"), meta);

        QProcess reader;
        reader.start("cat", {dir.filePath("rds.txt")});
        QVERIFY(reader.waitForStarted());
        QCOMPARE(run_in(dir).err, QByteArray());
        QVERIFY(reader.waitForFinished(10000));
        QCOMPARE(reader.readAllStandardOutput(), rds);
    }

    // With NEWXML naming the document, later passes know their own copy by
    // its declaration: the document, META and RDS stay right pass after
    // pass, and an unchanged copy is not written again.
    void copy_over_the_document()
    {
        QTemporaryDir dir;
        put_inputs(dir.path(), settings("<NEWXML>doc.xml</NEWXML>"));
        QDateTime written;
        for (int pass = 1; pass <= 3; ++pass) {
            QCOMPARE(run_in(dir).err, QByteArray());
            QCOMPARE(contents(dir.path(), "doc.xml"), copyUtf8);
            QCOMPARE(contents(dir.path(), "meta.txt"), meta);
            QCOMPARE(contents(dir.path(), "rds.txt"), rds);
            const QDateTime modified = QFileInfo(dir.filePath("doc.xml")).lastModified();
            if (pass == 1)
                written = modified;
            QCOMPARE(modified, written);
            QThread::msleep(20); // a rewrite would show in the time
        }
    }

    // --help and --version alone print and make no pass; with anything
    // else the arguments are ignored (every other test passes some).
    // clang-format off
    void help_and_version_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QByteArray>("firstLine");
        QTest::newRow("--help") << "--help" << QByteArray("usage: nowplaying-convert\n");
        QTest::newRow("--version") << "--version" << QByteArray("nowplaying-convert " NOWPLAYING_VERSION "\n");
    }
    // clang-format on
    void help_and_version()
    {
        QFETCH(QString, argument);
        QTemporaryDir dir;
        put_inputs(dir.path());
        const Result r = run_program(NOWPLAYING_BIN, dir.path(), {argument});
        QCOMPARE(r.status, 0);
        QTEST(r.out.left(r.out.indexOf('\n') + 1), "firstLine");
        QCOMPARE(contents(dir.path(), "rds.txt"), absent);
    }

#ifdef Q_OS_WIN
    // Paths as Windows users write them: a drive letter and backslashes.
    void drive_letter_and_backslash_paths()
    {
        QTemporaryDir dir;
        const QByteArray native = QDir::toNativeSeparators(dir.path()).toUtf8();
        put_inputs(dir.path(), settings("<XML>" + native + "\\doc.xml</XML><RDS>" + native +
                                        "\\rds.txt</RDS>"));
        QCOMPARE(run_in(dir).err, QByteArray());
        QCOMPARE(contents(dir.path(), "rds.txt"), rds);
    }

    // An output another program holds open (sharing reading and writing,
    // not deletion) cannot be replaced: it is written in place.
    void output_held_open()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        put(dir.path(), "rds.txt", "old");
        const HANDLE held =
            CreateFileW(reinterpret_cast<const wchar_t *>(
                            QDir::toNativeSeparators(dir.filePath("rds.txt")).utf16()),
                        GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(held != INVALID_HANDLE_VALUE);
        const QByteArray err = run_in(dir).err;
        CloseHandle(held);
        QCOMPARE(err, QByteArray());
        QCOMPARE(contents(dir.path(), "rds.txt"), rds);
        QCOMPARE(QDir(dir.path()).entryList({".*nowplaying-new"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
#endif

#ifdef Q_OS_WIN
    // A file another program holds open for a moment (a playout program
    // writing its document, an RDS reader reading the file) is tried again
    // for up to a second before the pass gives up.
    // clang-format off
    void held_by_another_program_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sharing");
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("document held without sharing for 400 ms") << "doc.xml" << "none" << 400 << QByteArray();
        QTest::newRow("RDS file held for reading for 400 ms") << "rds.txt" << "read" << 400 << QByteArray();
        QTest::newRow("document held for 4 s: given up") << "doc.xml" << "none" << 4000 << QByteArray("cant open XML\n");
    }
    // clang-format on
    void held_by_another_program()
    {
        QFETCH(QString, file);
        QFETCH(QString, sharing);
        QFETCH(int, holdMs);
        QTemporaryDir dir;
        put_inputs(dir.path());
        put(dir.path(), "rds.txt", "old");
        HeldFile held(dir.filePath(file), sharing, holdMs);
        QVERIFY(held.started());
        QTEST(run_in(dir).err, "message");
        QFETCH(QByteArray, message);
        if (message.isEmpty())
            QCOMPARE(contents(dir.path(), "rds.txt"), rds);
    }
#endif

    // Two passes in one folder take turns: while the lock is held (here by
    // the test), a pass waits and writes nothing; it goes on once released.
    void passes_take_turns()
    {
        QTemporaryDir dir;
        put_inputs(dir.path());
        auto lock = std::make_unique<PassLock>(QDir(dir.path()).filePath("settings.txt"),
                                               std::chrono::milliseconds(0));
        QVERIFY(lock->held());
        QProcess pass;
        pass.setWorkingDirectory(dir.path());
        pass.start(NOWPLAYING_BIN, QStringList());
        QVERIFY(pass.waitForStarted());
        QVERIFY(!pass.waitForFinished(500));
        QCOMPARE(contents(dir.path(), "out.xml"), absent);
        lock.reset();
        QVERIFY(pass.waitForFinished(10000));
        QCOMPARE(contents(dir.path(), "rds.txt"), rds);
    }

    // The gate's rules are tested in process; this proves that the program
    // reads the real clock. A blocked pass says nothing; one that runs would
    // stop at the missing letters file.
    // clang-format off
    void bad_hours_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QByteArray>("hours");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("Sunday night blocked") << "2026-12-06 01:30:00" << QByteArray("<TIME7>0,1,2</TIME7>") << QByteArray();
    }
    // clang-format on
    void bad_hours()
    {
        SKIP_IF_LINUX_ONLY();
        const QString faketime = QStandardPaths::findExecutable("faketime");
        if (faketime.isEmpty())
            QSKIP("faketime is not installed");
        QFETCH(QString, time);
        QFETCH(QByteArray, hours);
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settings(hours));
        const Result r = run_in(dir, {faketime, "-f", "@" + time});
        QTEST(r.err, "message");
        QCOMPARE(r.status, 0);
    }
};

QTEST_GUILESS_MAIN(EndToEnd)
#include "tst_end_to_end.moc"
