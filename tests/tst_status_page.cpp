// SPDX-License-Identifier: MIT
// The status page (nowplaying-watch --status-page) as a person sees it: in
// a real browser (Debian's chromium, headless), its text after its script
// ran, a failing destination shown failing, a title that is markup shown
// as text, and the not-running banner once the watcher is killed and the
// browser's clock has gone on; a screenshot is kept in the build folder.
#include "event_wait.h"
#include "fake_destination.h"
#include "sending_watch.h"
#include "server_skip.h"

namespace {

// The page's DOM after its script ran, `later` seconds ahead by the
// browser's clock (faketime); a screenshot of it to `screenshot`.
QString rendered(const QString &page, int later = 0, const QString &screenshot = {})
{
    QTemporaryDir profile;
    QStringList command;
    if (later > 0)
        command << "faketime"
                << "-f" << QString("+%1s").arg(later);
    command << "chromium"
            << "--headless"
            << "--no-sandbox"
            << "--disable-gpu"
            << "--disable-quic"
            << "--no-first-run"
            << "--disable-background-networking"
            << "--disable-component-update"
            << "--disable-sync"
            << "--user-data-dir=" + profile.path();
    command << (screenshot.isEmpty()
                    ? QStringList{"--dump-dom"}
                    : QStringList{"--screenshot=" + screenshot, "--window-size=1000,700"})
            << QUrl::fromLocalFile(page).toString();
    // On a loaded machine it now and then ends without a page or picture.
    QString dom;
    for (int tries = 0; tries < 3 && dom.isEmpty() && QFileInfo(screenshot).size() <= 0; ++tries) {
        QProcess browser;
        browser.start(command.first(), command.mid(1));
        browser.waitForFinished(60000);
        dom = QString::fromUtf8(browser.readAllStandardOutput());
    }
    return dom;
}

} // namespace

class StatusPageTest : public QObject {
    Q_OBJECT
private slots:
    void in_a_browser()
    {
        SKIP_IF_SERVER_MISSING("chromium");
        QTemporaryDir files;
        const QString page = files.filePath("status.html");
        SendingWatch watch(
            {QString("rds+tcp://127.0.0.1:%1").arg(refusing_port()), "file:feed.txt"},
            "&lt;script&gt;alert(1)&lt;/script&gt;", {}, {"--status-page", page});
        QVERIFY2(
            wait_until(
                [&]() { return contents(files.path(), "status.html").contains("class=\"bad\""); },
                5000),
            qPrintable(watch.log));
        const QString dom = rendered(page);
        QVERIFY2(dom.contains("<p id=\"banner\" class=\"up\">The watcher is running (heartbeat "),
                 qPrintable(dom));
        QVERIFY2(dom.contains("<tr class=\"bad\"><td>SEND1</td>") &&
                     dom.contains("Connection refused"),
                 qPrintable(dom));
        QVERIFY2(dom.contains("<tr class=\"good\"><td>SEND2</td><td>file:feed.txt</td>"),
                 qPrintable(dom));
        // The title is text, not markup: no script of its own ran.
        QVERIFY2(dom.contains("on air: \"Кино - &lt;script&gt;alert(1)&lt;/script&gt;\""),
                 qPrintable(dom));
        QCOMPARE(dom.count("<script>"), 1);
        watch.process.kill();
        QVERIFY(watch.process.waitForFinished(5000));
        const QString dead = rendered(page, 60);
        QVERIFY2(
            dead.contains(
                "<p id=\"banner\" class=\"down\">The watcher is not running: no heartbeat for "),
            qPrintable(dead));
        const QString kept = QStringLiteral(NOWPLAYING_ARTIFACTS) + "/status-page-not-running.png";
        QDir().mkpath(QFileInfo(kept).path());
        QFile::remove(kept);
        rendered(page, 60, kept);
        QVERIFY2(QFileInfo(kept).size() > 0, qPrintable(kept));
        qInfo("screenshot: %s", qPrintable(kept));
    }
};

QTEST_GUILESS_MAIN(StatusPageTest)
#include "tst_status_page.moc"
