// SPDX-License-Identifier: MIT
// nowplaying-check on crafted folders: the traps it must find, the false
// alarms it must not raise, its exit status, its JSON preview against what
// the pass writes, and that it writes nothing.
#include "fake_destination.h"
#include "folder_run.h"
#include "status_report.h"

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

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
#ifdef Q_OS_WIN
        // And that the RDS file is in the ANSI code page.
        QVERIFY2(run.out.endsWith("\n0 errors, 0 warnings, 2 notes\n"), qPrintable(run.out));
#else
        QVERIFY2(run.out.endsWith("\n0 errors, 0 warnings, 1 note\n"), qPrintable(run.out));
#endif
    }

    // Each row is a folder: the findings it must show (each starting a line,
    // with its level) and, for former false alarms, texts that must be gone.
    // clang-format off
    void traps_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<QByteArray>("lettersFile");
        QTest::addColumn<QByteArray>("docFile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("findings");
        QTest::addColumn<QStringList>("gone");
        const QStringList none;
        // (A tag written before the base settings overrides it, which also
        // gives the warning that it appears twice.)
        QTest::newRow("sound") << settings() << letters << doc << 0
            << QStringList{"ok       RDS file: \"Kino - Kukushka\"", "ok       OUTXMLENC \"windows-1251\" is windows-1251",
                           "note     the systemd path unit as installed watches \"/", "ok       nowplaying-watch is notified of every change"} << none;
        QTest::newRow("unknown encoding") << settings("<METAENC>cp1251x</METAENC>") << letters << doc << 1
            << QStringList{"warning  METAENC \"cp1251x\" is not a known encoding: the locale encoding (UTF-8) is used instead"} << none;
        QTest::newRow("hours that never match") << settings("<TIME3>1, 2,01,24,x,+3,5\n</TIME3>") << letters << doc << 1
            << QStringList{"ok       TIME3 (Wednesday): no pass in the hours 1\n",
                           "warning  TIME3 (Wednesday): the item \" 2\" holds a blank, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"01\" has a leading zero, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"24\" is not an hour from 0 to 23, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"x\" is not a number, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"+3\" has a sign, so it never matches",
                           "warning  TIME3 (Wednesday): the item \"5\\n\" holds a line break, so it never matches"} << none;
        QTest::newRow("hour tags that never count")
            << settings("<TIME2>1,2</TIME 2><TIME 3>4</TIME 3><TIME0>5</TIME0><TIME8>6</TIME8><time4>7</time4>") << letters << doc << 1
            << QStringList{"warning  TIME2 (Tuesday): <TIME2> is not closed (no </TIME2> after it), so its hours never count",
                           "warning  \"<TIME 3>\" is not one of <TIME1> to <TIME7> (capitals, no blanks, days 1 to 7), so it never counts",
                           "warning  \"<TIME0>\" is not one of", "warning  \"<TIME8>\" is not one of", "warning  \"<time4>\" is not one of"} << none;
        QTest::newRow("letters in two lines") << settings() << letters.left(64) + "\n" + letters.mid(64) << doc << 1
            << QStringList{"warning  a line break at position 32 shifts every later letter by one",
                           "warning  31 letters come out wrong: А gives \"B\", not \"A\"", "ok       RDS file: \"Lino - Lukushka\""} << none;
        QTest::newRow("letters saved in KOI8-R") << settings() << QTextCodec::codecForName("KOI8-R")->fromUnicode(QString::fromUtf8(letters))
            << doc << 1
            << QStringList{"warning  is saved in KOI8-R but read as UTF-8, so no letter is where it belongs: save it as UTF-8"}
            << QStringList{"stands at positions", "positions differ"};
        QTest::newRow("short letters, duplicate") << settings() << QByteArray("ааб") << doc << 1
            << QStringList{"warning  only 3 characters: table positions 3 to 63 have no letter",
                           "warning  \"а\" stands at positions 0 and 1: it gives both outputs"} << none;
        QTest::newRow("blank in a path") << settings("<XML> doc.xml</XML>") << letters << doc << 2
            << QStringList{"warning  XML has blanks or line breaks at its ends, which are part of the value: it names another file",
                           "error    does not exist: the pass stops with \"cant open XML\""} << none;
        QTest::newRow("blanks around an encoding name") << settings("<METAENC> windows-1251</METAENC>") << letters << doc << 1
            << QStringList{"note     METAENC \" windows-1251\" has blanks or line breaks at its ends, which Qt ignores: it is windows-1251"}
            << QStringList{"not found", "not a known encoding"};
        QTest::newRow("empty encoding counted once") << settings("<METAENC></METAENC>") << letters << doc << 1
            << QStringList{"warning  METAENC is empty or missing: the locale encoding (UTF-8) is used"}
            << QStringList{"METAENC is empty:"};
        QTest::newRow("twice and unclosed") << settings("<RDSSPLITTER>/</RDSSPLITTER>").replace("</META>", "") << letters << doc << 2
            << QStringList{"warning  RDSSPLITTER appears 2 times: only the first one counts",
                           "error    META is not closed, so its value is empty: the pass stops with \"cant create META file\""} << none;
        QTest::newRow("mark overrides INXMLENC") << settings("<INXMLENC>KOI8-R</INXMLENC>") << letters << "\xEF\xBB\xBF" + doc << 1
            << QStringList{"note     starts with a UTF-8 byte-order mark, which wins over INXMLENC \"KOI8-R\": it is read as UTF-8",
                           "ok       declares \"UTF-8\", as it is read"}
            << QStringList{"as INXMLENC says", "read as INXMLENC"};
        QTest::newRow("UTF-16LE and the usual UTF-16")
            << settings("<INXMLENC>UTF-16LE</INXMLENC><OUTXMLENC>UTF-16</OUTXMLENC>") << letters
            << utf16le(QByteArray(doc).replace("UTF-8", "UTF-16"), false) << 1
            << QStringList{"ok       declares \"UTF-16\", as it is read", "ok       the copy keeps the declared \"UTF-16\""} << QStringList{"instead of \"UTF-16\"", "but is read as"};
        QTest::newRow("escaped, CDATA") << settings() << letters
            << QByteArray("<ARTIST>Simon &amp; Garfunkel</ARTIST><NAME><![CDATA[Mrs. Robinson]]></NAME>") << 1
            << QStringList{"ok       ARTIST = \"Simon & Garfunkel\"",
                           "note     ARTIST is written \"Simon &amp; Garfunkel\" in the document: the pass decodes it",
                           "ok       NAME = \"Mrs. Robinson\"", "ok       RDS file: \"Simon & Garfunkel - Mrs. Robinson\""} << none;
        QTest::newRow("empty element") << settings() << letters
            << QByteArray("<ARTIST/><NAME>Jingle</NAME><ARTIST>Кино</ARTIST>") << 1
            << QStringList{"warning  no ARTIST value: on air the META text is \" - Jingle\" and the RDS text \"- - -\"", "ok       RDS file: \"- - -\""} << none;
        QTest::newRow("no declaration, copy in UTF-8") << settings("<OUTXMLENC>UTF-8</OUTXMLENC>") << letters
            << QByteArray("<ARTIST>a</ARTIST><NAME>b</NAME>") << 1
            << QStringList{"ok       has no XML declaration: readers take the copy for UTF-8, which it is"} << QStringList{"but it is written in"};
        QTest::newRow("no declaration, no artist") << settings() << letters << QByteArray("<NAME>x</NAME>") << 1
            << QStringList{"warning  no ARTIST value: on air the META text is \" - x\" and the RDS text \"- - -\"",
                           "warning  has no XML declaration: readers take the copy for UTF-8, but it is written in windows-1251",
                           "ok       RDS file: \"- - -\""} << none;
        // Which track goes on air, and what is not content.
        QTest::newRow("previous track first")
            << settings() << letters << QByteArray("<np>\n<Previous>\n<ARTIST>A</ARTIST><NAME>Old</NAME></Previous>\n"
                                                   "<Current>\n<ARTIST>Кино</ARTIST><NAME>Кукушка</NAME></Current></np>") << 1
            << QStringList{"warning  holds more than one NAME element: the pass takes the first, on line 3 in <Previous> (line 2); "
                           "not the one on line 5 in <Current> (line 4)"} << none;
        QTest::newRow("template in a comment")
            << settings().replace("<RDSSPLITTER> - </RDSSPLITTER>", "<!-- <RDSSPLITTER> - </RDSSPLITTER> -->") << letters
            << QByteArray("<!-- template: <ARTIST>ARTIST</ARTIST> -->\n<ARTIST>Кино</ARTIST><!-- <NAME>TITLE</NAME> -->") << 1
            << QStringList{"ok       ARTIST = \"Кино\"", "note     <NAME> stands only inside a comment (<!-- ... -->, line 2), which is not content",
                           "note     <RDSSPLITTER> stands only inside a comment (<!-- ... -->), which the pass skips"}
            << QStringList{"more than one ARTIST"};
        // A document read in another encoding than it is saved in.
        QTest::newRow("UTF-8 read as windows-1251")
            << settings("<INXMLENC>windows-1251</INXMLENC>") << letters << QByteArray("<ARTIST>Кино</ARTIST><NAME>Кукушка</NAME>") << 1
            << QStringList{"warning  looks like UTF-8 (its letters beyond ASCII are all valid UTF-8) but is read as windows-1251 (INXMLENC): "
                           "set INXMLENC to UTF-8"} << none;
        for (const char *encoding : {"windows-1251", "KOI8-R", "IBM866", "ISO-8859-5"})
            QTest::newRow(qPrintable(QString(encoding) + " read as UTF-8")) << settings() << letters
                << QTextCodec::codecForName(encoding)->fromUnicode("<ARTIST>Кино</ARTIST><NAME>Звезда по имени Солнце</NAME>") << 1
                << QStringList{"warning  is read as UTF-8 (INXMLENC) but is not UTF-8: 23 bytes are read as \"\uFFFD\"; it looks like "
                               + QString(encoding) + ": set INXMLENC to " + encoding} << none;
#ifndef Q_OS_WIN
        // (Where the locale encoding is UTF-8; on Windows it is the ANSI code page.)
        QTest::newRow("settings in windows-1251") << QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(settings("<METASPLITTER> — </METASPLITTER>"))) << letters << doc << 1
            << QStringList{"warning  settings.txt is read as UTF-8 (the locale encoding) but is not UTF-8: 1 bytes are read as \"\uFFFD\"; save it as UTF-8"} << none;
        QTest::newRow("spellings in windows-1251") << settings("<SPELLINGS>doc.xml</SPELLINGS><INXMLENC>windows-1251</INXMLENC>") << letters
            << QTextCodec::codecForName("windows-1251")->fromUnicode("<ARTIST>Кино</ARTIST><NAME>Звезда по имени Солнце</NAME>") << 1
            << QStringList{"warning  SPELLINGS \"doc.xml\" is read as UTF-8 (the locale encoding) but is not UTF-8: 23 bytes are read as \"\uFFFD\" (it looks like windows-1251); save it as UTF-8"} << none;
#endif
        // Tags written almost as the pass reads them.
        QTest::newRow("case and another name") << settings() << letters << QByteArray("<np>\n<TITLE>Кукушка</TITLE>\n<Artist>Кино</Artist>") << 1
            << QStringList{"note     <TITLE> on line 2: the pass reads <NAME>, not <TITLE>",
                           "note     <Artist> on line 3: tags are matched exactly, case included",
                           "warning  no NAME value: on air the META text is \" - \" and the RDS text \"- - -\""} << none;
        QTest::newRow("attributes and a blank") << settings() << letters << QByteArray("<NAME lang=\"ru\">Кукушка</NAME>< ARTIST>Кино</ARTIST>") << 1
            << QStringList{"note     <NAME lang=\"ru\"> on line 1: a tag with attributes is not matched: write <NAME>",
                           "note     < ARTIST> on line 1: no blank may stand after \"<\""} << none;
        // Text as it goes on air: characters as themselves, counted as
        // receivers count them, controls spelled out.
        QTest::newRow("a value of 1024 characters shown whole") << settings() << letters
            << "<ARTIST>A</ARTIST><NAME>" + QByteArray(1024, 'x') + "</NAME>" << 1
            << QStringList{"ok       NAME = \"" + QString(1024, 'x') + '"'} << none;
        QTest::newRow("a value of 1025 characters shown by its start and length") << settings() << letters
            << "<ARTIST>A</ARTIST><NAME>" + QByteArray(1025, 'x') + "</NAME>" << 1
            << QStringList{"ok       NAME = \"" + QString(1000, 'x') + "...\" (1025 characters)"} << none;
        QTest::newRow("emoji counted once") << settings() << letters
            << "<ARTIST>" + QByteArray(60, 'x') + "</ARTIST><NAME>🎵</NAME>" << 1
            << QStringList{"ok       NAME = \"🎵\""} << QStringList{"\\ud83c", "RDS text has"};
        QTest::newRow("control character and blanks") << settings() << letters
            << QByteArray("<ARTIST>Кино</ARTIST><NAME>\nКукушка\x07 </NAME>") << 1
            << QStringList{"ok       NAME = \"\\nКукушка\\x07 \"",
                           "warning  NAME has line breaks, blanks at its ends, control characters: the pass writes it as \"Кукушка\""} << none;
        QTest::newRow("characters the encodings cannot hold")
            << settings("<METAENC>KOI8-R</METAENC><OUTXMLENC>KOI8-R</OUTXMLENC>") << letters
            << QByteArray("<ARTIST>Кино</ARTIST><NAME>Сіль її</NAME>") << 1
            << QStringList{"warning  the copy is written in KOI8-R, which cannot hold і, ї: the pass writes \"?\" instead",
                           "warning  the META file is written in KOI8-R, which cannot hold і, ї",
                           "ok       META file: \"Кино - С?ль ??\"", "ok       RDS file: \"Kino - Sil' yiyi\""} << none;
        QTest::newRow("not Latin on air") << settings() << letters << QByteArray("<ARTIST>Кино</ARTIST><NAME>Ωμέγα</NAME>") << 1
            << QStringList{"warning  the RDS text keeps characters that are not Latin, which RadioText receivers cannot show: Ω, μ, έ, γ, α"} << none;
        QTest::newRow("outputs over inputs")
            << settings("<META>doc.xml</META><RDS>/proc/self/cwd/settings.txt</RDS>") << letters << doc << 2
            << QStringList{"error    META \"doc.xml\" is the same file as \"doc.xml\", which the pass will not overwrite: the pass stops with \"cant create META file\"",
                           "error    RDS \"/proc/self/cwd/settings.txt\" is the same file as \"settings.txt\", which the pass will not overwrite: the pass stops with \"cant create RDS\""}
            << QStringList{"will be replaced"};
        QTest::newRow("same outputs") << settings("<META>rds.txt</META><NEWXML>doc.xml</NEWXML>") << letters << doc << 1
            << QStringList{"warning  META and RDS name the same file: it ends up holding the RDS text",
                           "note     NEWXML names the document itself: the copy replaces it; later passes know the copy by its declaration"} << none;
        QTest::newRow("copy over a document without declaration") << settings("<NEWXML>doc.xml</NEWXML>") << letters
            << QByteArray("<ARTIST>a</ARTIST><NAME>b</NAME>") << 1
            << QStringList{"warning  NEWXML names the document itself, which has no XML declaration: a later pass cannot tell its own copy"} << none;
#ifdef Q_OS_WIN
        QTest::newRow("path in quotes, a device") << settings("<XML>\"doc.xml\"</XML><RDS>NUL</RDS>") << letters << doc << 1
            << QStringList{"note     XML is in double quotes (as Explorer's \"Copy as path\" gives it): the pass drops them",
                           "note     RDS \"NUL\" is a Windows device: each pass writes to it as it is"} << none;
#else
        QTest::newRow("path in quotes") << settings("<XML>\"doc.xml\"</XML>") << letters << doc << 2
            << QStringList{"warning  XML is in double quotes, which are part of the name here: remove them"} << none;
#endif
        QTest::newRow("backslash shown as it stands") << settings("<META>.\\meta.txt</META>") << letters << doc << 1
            << QStringList{"ok       META = \".\\meta.txt\""} << QStringList{".\\\\meta"};
        QTest::newRow("copy under META") << settings("<NEWXML>meta.txt</NEWXML>") << letters << doc << 1
            << QStringList{"warning  NEWXML names the same file as META: the copy is lost under it"} << none;
        QTest::newRow("output folder missing") << settings("<RDS>none/rds.txt</RDS>") << letters << doc << 2
            << QStringList{"error    RDS \"none/rds.txt\" is in a folder that does not exist: the pass stops with \"cant create RDS\""} << none;
#ifndef Q_OS_WIN
        // The system resolves "..": "sub" must exist (Windows drops "sub\.." by the name alone).
        QTest::newRow("output through a missing folder") << settings("<META>sub/../meta.txt</META>") << letters << doc << 2
            << QStringList{"error    META \"sub/../meta.txt\" is in a folder that does not exist"} << none;
#endif
        QTest::newRow("long RadioText") << settings() << letters << "<ARTIST>" + QByteArray(70, 'x') + "</ARTIST><NAME>ab</NAME>" << 1
            << QStringList{"warning  the RDS text has 75 characters; RadioText shows 64 (the pass still writes them all)"} << none;
        QTest::newRow("document is a FIFO") << settings() << letters << fifo << 2
            << QStringList{"error    is a FIFO or socket, which the pass refuses (it would wait for a writer for ever): the pass stops with \"cant open XML\""} << none;
        // Destinations: what each gets, byte for byte, and what it loses.
        QTest::newRow("destinations") << settings("<SEND1>rds+tcp://127.0.0.1:1024?dialect=rt1&rtplus=1</SEND1><SEND3>ftp://host/x</SEND3>")
            << letters << doc << 2
            << QStringList{"ok       SEND1 rds+tcp://127.0.0.1:1024?dialect=rt1&rtplus=1 gets \"Kino - Kukushka\" in ISO-8859-1: "
                           "\"RT1=Kino - Kukushka\\r\\n\" then \"RT1+=4,0,3,1,7,7\\r\\n\"",
                           "error    SEND3 ftp://host/x has the scheme \"ftp\", which is none of"} << none;
        QTest::newRow("an encoder's text too long and beyond its charset")
            << settings("<SEND1>rds+udp://127.0.0.1:1024</SEND1>") << letters
            << "<ARTIST>Ωmega Đ</ARTIST><NAME>" + QByteArray(70, 'x') + "</NAME>" << 1
            << QStringList{"warning  SEND1 rds+udp://127.0.0.1:1024: the text has 80 characters; RadioText carries 64",
                           "note     SEND1 rds+udp://127.0.0.1:1024: ISO-8859-1 lacks some letters, which are sent plain: Đ as D",
                           "warning  SEND1 rds+udp://127.0.0.1:1024: ISO-8859-1 cannot hold Ω, which are sent as \"?\""} << none;
#ifdef Q_OS_WIN
        const QByteArray missingPort = "COM9";
#else
        const QByteArray missingPort = "/dev/ttyNOWPLAYING9";
#endif
        QTest::newRow("a serial port that is not there") << settings("<SEND1>rds+serial:" + missingPort + "</SEND1>")
            << letters << doc << 2
            << QStringList{"error    SEND1 rds+serial:" + missingPort + ": there is no port " + missingPort + " (the ports found: "} << none;
#ifndef Q_OS_WIN
        QTest::newRow("password others may read") << settings("<SEND1>icecast://source:pw@127.0.0.1:8000/live</SEND1>") << letters << doc << 1
            << QStringList{"ok       SEND1 icecast://source@127.0.0.1:8000/live gets \"Кино - Кукушка\" in UTF-8: GET http://127.0.0.1:8000/admin/metadata?",
                           "warning  settings.txt holds a password, and other users may read it: chmod o-r settings.txt"} << QStringList{":pw@"};
#endif
        QTest::newRow("a template, and the exact text it gives") << settings("<SEND1>rds+udp://127.0.0.1:1024</SEND1><SEND1TEXT>{NAME}[ ({Album})]</SEND1TEXT>")
            << letters << doc + "<ALBUM>Звезда</ALBUM>" << 1
            << QStringList{"ok       SEND1 rds+udp://127.0.0.1:1024: its text is the template \"{NAME}[ ({Album})]\"",
                           "warning  SEND1 rds+udp://127.0.0.1:1024: SEND1TEXT names {Album}, which the document does not have (it has <ALBUM>",
                           "ok       SEND1 rds+udp://127.0.0.1:1024 gets \"Kukushka\" in ISO-8859-1: \"TEXT=Kukushka\\r\\n\""} << none;
        QTest::newRow("a template's tag in another case, named in Cyrillic") << settings("<SEND1>rds+udp://127.0.0.1:1024</SEND1><SEND1TEXT>{NAME} {Альбом}</SEND1TEXT>")
            << letters << doc + "<АЛЬБОМ>Звезда</АЛЬБОМ>" << 1
            << QStringList{"warning  SEND1 rds+udp://127.0.0.1:1024: SEND1TEXT names {Альбом}, which the document does not have (it has <АЛЬБОМ>"} << none;
        QTest::newRow("templates that cannot be used or never give a text") << settings("<SEND1>rds+udp://127.0.0.1:1024</SEND1><SEND1TEXT>{ARTIST - {NAME}</SEND1TEXT>"
                                                         "<SEND2>rds+udp://127.0.0.1:1025</SEND2><SEND2TEXT>{{}} - </SEND2TEXT>") << letters << doc << 2
            << QStringList{"error    SEND1 rds+udp://127.0.0.1:1024 SEND1TEXT has a \"{\" at character 1 that names no tag",
                           "warning  SEND2 rds+udp://127.0.0.1:1025: SEND2TEXT names no tag and holds no letter or digit outside optional parts"} << none;
        QTest::newRow("a DAB+ label and its DL Plus tags") << settings("<SEND1>dls:dls.txt?dlplus=1</SEND1>") << letters << doc << 0
            << QStringList{"ok       SEND1 dls:dls.txt?dlplus=1: the DAB+ label is \"Kino - Kukushka\", DL Plus: ITEM.ARTIST from 0, 4 characters; ITEM.TITLE from 7, 8 characters"} << none;
        QTest::newRow("PS pages, the first before the text") << settings("<SEND1>rds+udp://h:1?ps=page</SEND1>") << letters << doc << 0
            << QStringList{"ok       SEND1 rds+udp://h:1?ps=page gets \"Kino - Kukushka\" in ISO-8859-1: \"PS=Kino -  \\r\\n\" then \"TEXT=",
                           "ok       SEND1 rds+udp://h:1?ps=page: the programme service name shows \"Kino -  \", \"Kukushka\", one every 4 s"} << none;
        QTest::newRow("tags that almost name a destination") << settings("<send1>rds+udp://h:1</send1><SEND 2>rds+udp://h:2</SEND 2><SEND10>rds+udp://h:3</SEND10><SEND3>rds+udp://h:4</SEND4><SEND>rds+udp://h:5</SEND>")
            << letters << doc << 1
            << QStringList{"warning  <send1> is not a destination tag", "warning  <SEND 2> is not a destination tag",
                           "warning  <SEND10> is not a destination tag", "warning  <SEND> is not a destination tag", "warning  <SEND3> is never closed with </SEND3>"} << none;
        QTest::newRow("a destination twice, a template without its destination") << settings("<SEND1>rds+udp://h:1</SEND1><SEND1>rds+udp://h:2</SEND1><SEND2TEXT>{NAME}</SEND2TEXT>")
            << letters << doc << 1
            << QStringList{"warning  SEND1 appears 2 times: only the first one counts", "warning  SEND2TEXT is set, but there is no SEND2, so it is not used"} << none;
        QTest::newRow("a language named twice") << settings("<LATIN>uk</LATIN><LATIN>bg</LATIN>") << letters << QByteArray("<ARTIST>Кино</ARTIST><NAME>x</NAME>") << 1
            << QStringList{"warning  LATIN appears 2 times: only the first one counts"} << none;
        QTest::newRow("secrets of addresses are never shown") << settings("<SEND1>https://hooks.example/T0001/B0002/Xk9aB3cD4eF5gH6iJ7k?token=TOK123</SEND1>"
                                                                   "<SEND2>https://np.example/set?key=LISTKEY9&t={NAME}</SEND2>") << letters << doc << 0
            << QStringList{"ok       SEND1 https://hooks.example/T0001/B0002/...?token=... gets",
                           "ok       SEND2 https://np.example/set?key=...&t=%7BNAME%7D gets \"Кино - Кукушка\" in JSON (UTF-8): GET https://np.example/set?key=...&t="}
            << QStringList{"TOK123", "LISTKEY9", "Xk9aB3cD4eF5gH6iJ7k"};
        QTest::newRow("Ukrainian letters under the Russian table") << settings() << letters << QByteArray("<ARTIST>Київ</ARTIST><NAME>x</NAME>") << 1
            << QStringList{"warning  the artist and title hold ї, letters of Ukrainian"} << none;
        QTest::newRow("Serbian letters under mk, the letters the two share not") << settings("<LATIN>mk</LATIN>") << letters << QByteArray("<ARTIST>Ђорђе Љубојевић</ARTIST><NAME>x</NAME>") << 1
            << QStringList{"warning  the artist and title hold Ђ, ђ, ћ, letters of Serbian: with <LATIN>sr</LATIN> they"} << none;
        QTest::newRow("a file destination in no folder, another with too long a name") << settings("<SEND1>file:gone/np.txt</SEND1><SEND2>dls:" + QByteArray(240, 'd') + "</SEND2>") << letters << doc << 2
            << QStringList{"error    SEND1 file:gone/np.txt: \"gone/np.txt\" is in a folder that does not exist: each send fails", "error    SEND2 dls:" + QString(240, 'd') + ": \"" + QString(240, 'd') + "\" has a file name too long to be written: with the 16 characters"} << none;
        QTest::newRow("destinations on the pass's file and on each other's") << settings("<SEND1>file:meta.txt</SEND1><SEND2>file:label.txt</SEND2><SEND3>dls:label.txt</SEND3>") << letters << doc << 2
            << QStringList{"note     SEND1 file:meta.txt writes the file the pass writes as META: its text replaces the pass's there",
                           "error    SEND3 dls:label.txt writes label.txt, which SEND2 writes too"} << none;
        QTest::newRow("one encoder twice, one serial port twice") << settings("<SEND1>rds+udp://127.0.0.1:1024</SEND1><SEND2>rds+udp://127.0.0.1:1024?ps=RADIO</SEND2>"
                                                                              "<SEND3>rds+serial:COM9</SEND3><SEND4>rds+serial:COM9?baud=19200</SEND4>"
                                                                              "<SEND5>mqtt://127.0.0.1:1/np</SEND5><SEND6>mqtt://127.0.0.1:1/np?timeout=3</SEND6>") << letters << doc << 2
            << QStringList{"warning  SEND2 rds+udp://127.0.0.1:1024?ps=RADIO sends to the encoder SEND1 sends to",
                           "error    SEND4 rds+serial:COM9?baud=19200 uses the port COM9, which SEND3 uses too",
                           "warning  SEND6 mqtt://127.0.0.1:1/np?timeout=3 publishes to the topic SEND5 publishes to"} << none;
        QTest::newRow("a hard sign inside a word under uk") << settings("<LATIN>uk</LATIN>") << letters << QByteArray("<ARTIST>Път</ARTIST><NAME>x</NAME>") << 1
            << QStringList{"warning  the artist or title has ъ inside a word, which Ukrainian never has"} << none;
        QTest::newRow("a hard sign inside a word under mk") << settings("<LATIN>mk</LATIN>") << letters << QByteArray("<ARTIST>Път</ARTIST><NAME>x</NAME>") << 1
            << QStringList{"warning  the artist or title has ъ inside a word, which Macedonian never has"} << none;
        QTest::newRow("an empty artist is empty, not an attribute") << settings() << letters << QByteArray("<ARTIST></ARTIST><NAME>x</NAME>") << 1
            << QStringList{"note     <ARTIST> on line 1: the element is there, but holds no value"} << QStringList{"attributes"};
#ifdef Q_OS_WIN
        const QByteArray nul = "NUL";
#else
        const QByteArray nul = "/dev/null";
#endif
        QTest::newRow("NUL for two outputs loses nothing") << settings("<META>" + nul + "</META><RDS>" + nul + "</RDS>") << letters << doc << 1
            << QStringList{} << QStringList{"the same file"};
        QTest::newRow("a settings tag in another case") << settings("<latin>uk</latin>") << letters << doc << 1
            << QStringList{"warning  <latin> is not read: the tag is <LATIN>, in capitals, without blanks"} << none;
        QTest::newRow("a site's own language and letters") << QByteArray("<FOLLOW>mqtt://127.0.0.1:1/np</FOLLOW><SEND1>rds+udp://h:1</SEND1><LATIN>xx</LATIN>")
            << absent << doc << 2 << QStringList{"error    LATIN \"xx\" is no language", "note     does not exist (looked for in /"} << none;
        QTest::newRow("no settings") << absent << letters << doc << 2
            << QStringList{"error    does not exist (looked for in /"} << none;
        QTest::newRow("no letters") << settings() << absent << doc << 2
            << QStringList{"error    does not exist (looked for in /"} << none;
    }
    // clang-format on
    void traps()
    {
        SKIP_IF_LINUX_ONLY();
        QFETCH(QByteArray, settingsFile);
        QFETCH(QByteArray, lettersFile);
        QFETCH(QByteArray, docFile);
        QTemporaryDir dir;
        const QList<QPair<QString, QByteArray>> files = {
            {"settings.txt", settingsFile}, {"rusletters.txt", lettersFile}, {"doc.xml", docFile}};
        for (const auto &file : files)
            put(dir.path(), file.first, file.second);
        const QStringList before = listing(dir.path());

        QTemporaryDir elsewhere; // the folder is given as an argument
        const Run run = check(elsewhere.path(), {dir.path()});
        QTEST(run.status, "status");
        QFETCH(QStringList, findings);
        for (QString finding : findings) {
            // What the same finding says on Windows.
            finding.replace("the locale encoding (UTF-8)",
                            "the locale encoding (" + locale_encoding_name() + ")");
            finding.replace("but read as UTF-8", "but read as " + locale_encoding_name());
            finding.replace("(looked for in /", "(looked for in ");
#ifdef Q_OS_WIN
            if (finding.contains("the systemd path unit"))
                finding = "note     on Windows, run nowplaying-watch";
#endif
            QVERIFY2(run.out.contains("\n  " + finding), qPrintable(finding + "\n---\n" + run.out));
        }
        QFETCH(QStringList, gone);
        for (const QString &text : gone)
            QVERIFY2(!run.out.contains(text), qPrintable(text + "\n---\n" + run.out));
        QCOMPARE(listing(dir.path()), before);

        const Run json = check(elsewhere.path(), {"--json", dir.path()});
        const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(json.status, run.status);
        QCOMPARE(report.value("status").toInt(), run.status);
        QVERIFY(!report.value("findings").toArray().isEmpty());
        QString said;
        for (const QJsonValue &finding : report.value("findings").toArray())
            said += finding.toObject().value("text").toString() + '\n';
        for (const QString &text : gone)
            QVERIFY2(!said.contains(text), qPrintable(text + "\n---\n" + said));
    }

#ifndef Q_OS_WIN
    // In a folder others may write to, the pass does not write through a
    // link another user made (to a file of root's, here), nor through a link
    // to nothing (which would make a file where it points); the checker
    // says why.
    void planted_links_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("another user's link") << false;
        QTest::newRow("a link to nothing") << true;
    }
    void planted_links()
    {
        QFETCH(bool, dangling);
        if (geteuid() != 0)
            QSKIP("making a link that another user owns needs root");
        QTemporaryDir dir, elsewhere;
        put(dir.path(), "settings.txt", settings());
        put(dir.path(), "rusletters.txt", letters);
        put(dir.path(), "doc.xml", doc);
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
        const QString victim = elsewhere.filePath("victim");
        if (!dangling)
            put(elsewhere.path(), "victim", "root's own");
        const QString link = QDir(dir.path()).filePath("rds.txt");
        QVERIFY(QFile::link(victim, link));
        if (!dangling)
            QCOMPARE(lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
        const Result pass = run_program(NOWPLAYING_BIN, dir.path(), {});
        QCOMPARE(pass.err, QByteArray("cant create RDS\n"));
        QCOMPARE(QFile::exists(victim), !dangling);
        if (!dangling)
            QCOMPARE(contents(elsewhere.path(), "victim"), QByteArray("root's own"));
        const Run run = check(dir.path(), {});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.out.contains("\n  error    RDS \"rds.txt\": ") &&
                     run.out.contains("Passes do not write through such a link"),
                 qPrintable(run.out));
    }
#endif

#ifdef Q_OS_WIN
    // Files another program holds open are judged as the pass will find
    // them: in use for now, not missing or unwritable for good.
    // clang-format off
    void held_files_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sharing");
        QTest::addColumn<QString>("finding");
        QTest::newRow("document held without sharing") << "doc.xml" << "none"
            << "error    is in use by another program, which keeps it from being read now";
        QTest::newRow("RDS file held by a reader") << "rds.txt" << "read"
            << "warning  RDS \"rds.txt\" is held open by another program, which keeps it from being written now";
    }
    // clang-format on
    void held_files()
    {
        QFETCH(QString, file);
        QFETCH(QString, sharing);
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settings());
        put(dir.path(), "rusletters.txt", letters);
        put(dir.path(), "doc.xml", doc);
        put(dir.path(), "rds.txt", "old");
        HeldFile held(dir.filePath(file), sharing, 3000);
        QVERIFY(held.started());
        const Run run = check(dir.path(), {});
        QFETCH(QString, finding);
        QVERIFY2(run.out.contains("\n  " + finding), qPrintable(run.out));
    }
#endif

    // The preview is what the pass writes: the checker first, then the pass,
    // on the same folder, every preview field against the files. A null
    // entry means the file is not written.
    // clang-format off
    void preview_is_the_pass_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<QByteArray>("docFile");
        QByteArray allHours = "0";
        for (int hour = 1; hour < 24; ++hour)
            allHours += "," + QByteArray::number(hour);
        QByteArray blocked;
        for (int day = 1; day <= 7; ++day)
            blocked += "<TIME" + QByteArray::number(day) + ">" + allHours + "</TIME" + QByteArray::number(day) + ">";
        QTest::newRow("plain") << settings() << doc;
        QTest::newRow("KOI8-R loses letters")
            << settings("<METAENC>KOI8-R</METAENC><OUTXMLENC>KOI8-R</OUTXMLENC>")
            << QByteArray("<?xml version='1.0' encoding = 'UTF-8'?><ARTIST>Кино &amp; ДДТ</ARTIST><NAME>Сіль її</NAME>");
        QTest::newRow("UTF-16 copy, no declaration") << settings("<OUTXMLENC>UTF-16LE</OUTXMLENC>") << QByteArray("<NAME>x</NAME>");
        QTest::newRow("META not created") << settings("<META>none/meta.txt</META>") << doc;
        QTest::newRow("META through a missing folder") << settings("<META>none/../meta.txt</META>") << doc;
        QTest::newRow("RDS over the settings") << settings("<RDS>settings.txt</RDS>") << doc;
        QTest::newRow("blocked hour") << settings(blocked) << doc;
    }
    // clang-format on
    void preview_is_the_pass()
    {
        QFETCH(QByteArray, settingsFile);
        QFETCH(QByteArray, docFile);
        QTemporaryDir dir;
        put(dir.path(), "settings.txt", settingsFile);
        put(dir.path(), "rusletters.txt", letters);
        put(dir.path(), "doc.xml", docFile);
        const Run json = check(dir.path(), {"--json"});
        const QJsonObject preview =
            QJsonDocument::fromJson(json.out.toUtf8()).object().value("preview").toObject();
        QCOMPARE(run_program(NOWPLAYING_BIN, dir.path(), {}).status, 0);

        const QString settingsText = QString::fromUtf8(settingsFile);
        for (const char *name : {"copy", "meta", "rds"}) {
            const QString key = name;
            const QString tag = key == "copy" ? "NEWXML" : key.toUpper();
            const QString path =
                settingsText.section("<" + tag + ">", 1).section("</" + tag + ">", 0, 0);
            const QJsonValue entry = preview.value(key);
            if (entry.isNull()) {
                if (path != "settings.txt")
                    QCOMPARE(contents(dir.path(), path), absent);
                continue;
            }
            const QJsonObject output = entry.toObject();
            QCOMPARE(output.value("path").toString(), path);
            const QByteArray bytes = contents(dir.path(), path);
            QTextCodec *const codec =
                QTextCodec::codecForName(output.value("encoding").toString().toLatin1());
            QVERIFY(codec);
            if (key != "copy") {
                QCOMPARE(QByteArray::fromBase64(output.value("base64").toString().toLatin1()),
                         bytes);
                continue;
            }
            QCOMPARE(output.value("size").toInt(), bytes.size());
            QCOMPARE(output.value("sha256").toString().toLatin1(),
                     QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
            const QString text = codec->toUnicode(bytes);
            if (output.value("declaration").isNull())
                QVERIFY(!text.trimmed().startsWith("<?xml "));
            else
                QVERIFY(text.startsWith(output.value("declaration").toString()));
        }
    }

    // A folder named in letters beyond the ANSI code page (a Cyrillic one
    // on a Western Windows, Café ü on a Russian one) is entered as named.
    void folder_named_beyond_the_code_page()
    {
        QTemporaryDir top;
        const QString folder = top.filePath("Café ü Кафе");
        QVERIFY(QDir().mkpath(folder));
        put(folder, "settings.txt", settings());
        put(folder, "rusletters.txt", letters);
        put(folder, "doc.xml", doc);
        const Run run = check(top.path(), {folder});
        QVERIFY2(!run.out.contains("cannot enter") &&
                     run.out.contains("RDS file: \"Kino - Kukushka\""),
                 qPrintable(run.out));
        const Run json = check(top.path(), {"--json", folder});
        QVERIFY(QJsonDocument::fromJson(json.out.toUtf8()).isObject());
    }

    // --send-test sends once to each destination and reports each answer.
    void send_test()
    {
        FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
        const quint16 refused = refusing_port();
        QTemporaryDir dir;
        put(dir.path(), "settings.txt",
            settings("<SEND1>rds+tcp://127.0.0.1:" + QByteArray::number(encoder.port()) +
                     "</SEND1><SEND2>rds+tcp://127.0.0.1:" + QByteArray::number(refused) +
                     "</SEND2>"));
        put(dir.path(), "rusletters.txt", letters);
        put(dir.path(), "doc.xml", doc);
        QProcess check;
        check.setWorkingDirectory(dir.path());
        check.start(NOWPLAYING_CHECK_BIN, {"--send-test"});
        // The fake answers from this event loop while the checker runs.
        QTRY_VERIFY_WITH_TIMEOUT(check.state() == QProcess::NotRunning, 10000);
        const QString out = QString::fromUtf8(check.readAllStandardOutput()).remove('\r');
        QCOMPARE(encoder.received, QList<QByteArray>{"TEXT=Kino - Kukushka\r\n"});
        QVERIFY2(out.contains("\nsend test\n  ok       SEND1 rds+tcp://127.0.0.1:" +
                              QString::number(encoder.port()) + ": delivered, done\n"),
                 qPrintable(out));
        QVERIFY2(out.contains("  error    SEND2 rds+tcp://127.0.0.1:" + QString::number(refused) +
                              ": not delivered, Connection refused\n"),
                 qPrintable(out));
        QCOMPARE(check.exitCode(), 2);
    }

    // A status file is read as the hostile input it may be (an older
    // version's, one edited by hand): no password or control sequence
    // reaches the terminal.
    void status_file_shown_safely()
    {
        QTemporaryDir dir;
        const QByteArray station =
            "{\"station\":\"st\\u001b]0;x\\u0007\",\"destinations\":[{\"address\":\"http://u:PW1@h/"
            "x?token=TOK9\",\"state\":\"ok\"}]}";
        put(dir.path(), "st.json", "{\"state\":\"stopped\",\"stations\":[" + station + "]}");
        const Run shown = check(dir.path(), {"--status", dir.filePath("st.json")});
        QCOMPARE(shown.status, 2);
        QVERIFY2(!shown.out.contains("PW1") && !shown.out.contains("TOK9") &&
                     !shown.out.contains(QChar(0x1b)),
                 qPrintable(shown.out));
        QVERIFY2(shown.out.contains("http://u@h/x?token=..."), qPrintable(shown.out));
#ifndef Q_OS_WIN
        // A FIFO named as the file is refused, not waited on for ever.
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath("fifo.json")).constData(), 0600) == 0);
        QCOMPARE(check(dir.path(), {"--status", dir.filePath("fifo.json")}).status, 2);
#endif
    }

    // The heartbeat read by a clock that may differ from the watcher's.
    void heartbeat_data()
    {
        QTest::addColumn<int>("age");
        QTest::addColumn<QString>("first");
        QTest::newRow("30 s old: running") << 30 << "ok      the watcher is running";
        QTest::newRow("31 s old: dead") << 31 << "DEAD    the watcher is not running";
        QTest::newRow("30 s ahead: the clocks differ") << -30 << "ok      the watcher is running";
        QTest::newRow("31 s ahead: cannot tell") << -31 << "DEAD    cannot tell whether";
    }
    void heartbeat()
    {
        QFETCH(int, age);
        QFETCH(QString, first);
        const QDateTime now(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC);
        const QByteArray beat = now.addSecs(-age).toString(Qt::ISODateWithMs).toUtf8();
        const StatusReport report =
            status_report("{\"stations\":[],\"heartbeat\":\"" + beat + "\"}", now);
        QVERIFY2(report.text.startsWith(first), qPrintable(report.text));
    }

    void arguments()
    {
        QCOMPARE(check(".", {"--help"}).status, 0);
        const Run version = check(".", {"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QString("nowplaying-check " NOWPLAYING_VERSION "\n"));
        QCOMPARE(check(".", {"--verbose"}).status, 64);
        QCOMPARE(check(".", {"a", "b"}).status, 64);
        QCOMPARE(check(".", {"/nonexistent/folder"}).status, 2);
    }
};

QTEST_GUILESS_MAIN(Check)
#include "tst_check.moc"
