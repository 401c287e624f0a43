// SPDX-License-Identifier: MIT
// What hostile peers cost the watcher, driven by bench/hostile.
//
//   hostile_bench WATCH_BINARY replies COUNT
//     A watcher sending to an encoder that answers with bytes that never
//     end and to a web hook whose body never ends; COUNT/2 tracks, each
//     tried at once by both (COUNT endless replies). Prints the watcher's
//     resident memory after its first pass, at its peak and at the end,
//     and how many lines its log grew by.
//
//   hostile_bench WATCH_BINARY outage SECONDS
//     A studio and two sites that follow it through a real broker, each
//     site feeding a fake encoder; the broker stopped for SECONDS while
//     the studio's track changes, then started: how long after the start
//     each site's encoder has the studio's current text, and whether a
//     site took the broker's going for the studio's (its idle text).
//
//   hostile_bench WATCH_BINARY flood LARGE SMALL
//     A site that follows a studio's topic on a real MQTT broker (Debian's
//     mosquitto) and feeds a fake encoder, with an idle text after 1 s of
//     the studio offline. A publisher puts LARGE messages of 10 MB and
//     SMALL small ones on the topic, mixed, as fast as the broker takes
//     them, the last a small one. Prints how long that took, the site's
//     resident memory at the start, at its peak and at the end, how long
//     after the burst its encoder had the last text, and whether the idle
//     text was ever sent.
#include "bench_common.h"
#include "event_wait.h"
#include "fake_destination.h"
#include "mqtt_broker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

using bench::read_file;
using bench::replace_file;

// The resident memory of process `pid` in KiB, from /proc.
long resident_kib(qint64 pid)
{
    const QByteArray status = read_file(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray &line : status.split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Watches a process's resident memory while `run` goes on: its peak.
struct Peak {
    long kib = 0;
    void sample(qint64 pid)
    {
        kib = std::max(kib, resident_kib(pid));
    }
};

QByteArray settings(const QStringList &destinations, const QByteArray &more = {})
{
    QByteArray text = more;
    for (int i = 0; i < destinations.size(); ++i)
        text += "<SEND" + QByteArray::number(i + 1) + ">" + destinations[i].toUtf8() + "</SEND" +
                QByteArray::number(i + 1) + ">";
    return text;
}

const QByteArray studioSettings =
    "<XML>doc.xml</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
    "<OUTXMLENC>UTF-8</OUTXMLENC><META>meta.txt</META><METASPLITTER> - </METASPLITTER>"
    "<METAENC>UTF-8</METAENC><RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";

int replies(const QString &binary, int count)
{
    FakeDestination encoder(FakeDestination::Encoder, {QByteArray(1000, 'x'), 0, false, true});
    FakeDestination hook(FakeDestination::Http,
                         {"HTTP/1.1 200 OK\r\n\r\n" + QByteArray(1000, 'x'), 0, false, true});
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(EXAMPLE_DIR "/rusletters.txt"), dir.filePath("rusletters.txt"));
    replace_file(dir.filePath("settings.txt"),
                 settings({QStringLiteral("rds+tcp://127.0.0.1:%1").arg(encoder.port()),
                           QStringLiteral("http://127.0.0.1:%1/hook").arg(hook.port())},
                          studioSettings));
    replace_file(dir.filePath("doc.xml"), "<ARTIST>Start</ARTIST><NAME>0</NAME>");
    QProcess watch;
    const QString log = dir.filePath("watch.log");
    watch.start(binary, {QStringLiteral("--log"), log, dir.path()});
    wait_until([&]() { return encoder.received.size() == 1 && hook.received.size() == 1; }, 5000);
    wait_until([] { return false; }, 300);
    const long start = resident_kib(watch.processId());
    const int linesBefore = int(read_file(log).count('\n'));
    Peak peak;
    for (int track = 1; track < count / 2; ++track) {
        replace_file(dir.filePath("doc.xml"),
                     "<ARTIST>Кино</ARTIST><NAME>Track " + QByteArray::number(track) + "</NAME>");
        wait_until(
            [&]() {
                peak.sample(watch.processId());
                return encoder.received.size() > track && hook.received.size() > track;
            },
            5000);
    }
    wait_until(
        [&]() {
            peak.sample(watch.processId());
            return false;
        },
        1000);
    const long end = resident_kib(watch.processId());
    const int lines = int(read_file(log).count('\n')) - linesBefore;
    watch.kill();
    watch.waitForFinished();
    std::printf("%d endless replies (%lld to the encoder, %lld to the web hook)\n",
                int(encoder.received.size() + hook.received.size()),
                qint64(encoder.received.size()), qint64(hook.received.size()));
    std::printf("resident memory: %ld KiB after the first pass, peak %ld KiB (+%ld), end %ld KiB "
                "(+%ld); target: within +8192 KiB\n",
                start, peak.kib, peak.kib - start, end, end - start);
    std::printf("log lines added: %d; target: at most %d\n", lines, count);
    return 0;
}

int flood(const QString &binary, int large, int small)
{
    MqttBroker broker;
    FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(EXAMPLE_DIR "/rusletters.txt"), dir.filePath("rusletters.txt"));
    replace_file(dir.filePath("settings.txt"),
                 settings({QStringLiteral("rds+tcp://127.0.0.1:%1").arg(encoder.port())},
                          "<FOLLOW>" + broker.url("studio/np").toUtf8() +
                              "?idle-after=1</FOLLOW><IDLETEXT>Idle</IDLETEXT>"));
    QProcess site;
    site.setStandardErrorFile(dir.filePath("site.log"));
    site.start(binary, {dir.path()});
    const QByteArray first = "{\"artist\":\"Kino\",\"title\":\"Start\"}";
    publish(broker, "studio/np", {first});
    wait_until([&]() { return !encoder.received.isEmpty(); }, 5000);
    wait_until([] { return false; }, 300);
    const long start = resident_kib(site.processId());
    Peak peak;
    std::atomic<bool> done{false};
    QElapsedTimer burst;
    burst.start();
    qint64 burstMs = 0;
    std::thread publisher([&]() {
        const QByteArray big =
            "{\"artist\":\"Big\",\"title\":\"" + QByteArray(10 * 1000 * 1000, 'x') + "\"}";
        QList<QByteArray> messages;
        const int every = large > 0 ? std::max(1, small / large) : small + 1;
        int sent = 0;
        for (int i = 0; i < small; ++i) {
            messages << "{\"artist\":\"Flood\",\"title\":\"" + QByteArray::number(i) + "\"}";
            if ((i + 1) % every == 0 && sent < large) {
                messages << big;
                ++sent;
            }
            if (messages.size() >= 200) {
                publish(broker, "studio/np", messages);
                messages.clear();
            }
        }
        while (sent++ < large)
            messages << big;
        messages << "{\"artist\":\"Flood\",\"title\":\"LAST\"}";
        publish(broker, "studio/np", messages);
        burstMs = burst.elapsed();
        done = true;
    });
    wait_until(
        [&]() {
            peak.sample(site.processId());
            return done.load();
        },
        600000);
    publisher.join();
    QElapsedTimer after;
    after.start();
    const bool current = wait_until(
        [&]() {
            peak.sample(site.processId());
            return encoder.received.last() == "TEXT=Flood - LAST\r\n";
        },
        60000);
    const qint64 afterMs = after.elapsed();
    wait_until(
        [&]() {
            peak.sample(site.processId());
            return false;
        },
        2000);
    const long end = resident_kib(site.processId());
    site.kill();
    site.waitForFinished();
    std::printf("published %d messages of 10 MB and %d small ones in %.1f s\n", large, small,
                double(burstMs) / 1000);
    std::printf("site's resident memory: %ld KiB at the start, peak %ld KiB (+%ld), end %ld KiB "
                "(+%ld); target: within +32768 KiB\n",
                start, peak.kib, peak.kib - start, end, end - start);
    std::printf("the encoder had the last text %s %.2f s after the burst; target: within 5 s\n",
                current ? "" : "NOT within", double(afterMs) / 1000);
    std::printf("idle text sent: %s; target: no\n",
                encoder.received.contains("TEXT=Idle\r\n") ? "yes" : "no");
    return 0;
}

int outage(const QString &binary, int seconds)
{
    MqttBroker broker;
    FakeDestination encoders[2] = {{FakeDestination::Encoder, {"OK\r\n"}},
                                   {FakeDestination::Encoder, {"OK\r\n"}}};
    QTemporaryDir studio, sites[2];
    QFile::copy(QStringLiteral(EXAMPLE_DIR "/rusletters.txt"), studio.filePath("rusletters.txt"));
    replace_file(studio.filePath("settings.txt"),
                 settings({broker.url("studio/np")}, studioSettings));
    replace_file(studio.filePath("doc.xml"), "<ARTIST>Kino</ARTIST><NAME>Before</NAME>");
    QProcess watchers[3];
    watchers[0].setStandardErrorFile(QProcess::nullDevice());
    watchers[0].start(binary, {studio.path()});
    for (int i = 0; i < 2; ++i) {
        replace_file(sites[i].filePath("settings.txt"),
                     settings({QStringLiteral("rds+tcp://127.0.0.1:%1").arg(encoders[i].port())},
                              "<FOLLOW>" + broker.url("studio/np").toUtf8() +
                                  "?idle-after=60</FOLLOW><IDLETEXT>Idle</IDLETEXT>"));
        watchers[i + 1].setStandardErrorFile(QProcess::nullDevice());
        watchers[i + 1].start(binary, {sites[i].path()});
    }
    const auto on = [&](int i, const QByteArray &text) {
        return !encoders[i].received.isEmpty() && encoders[i].received.last() == text;
    };
    wait_until([&]() { return on(0, "TEXT=Kino - Before\r\n") && on(1, "TEXT=Kino - Before\r\n"); },
               10000);
    broker.stop();
    wait_until([] { return false; }, 2000);
    replace_file(studio.filePath("doc.xml"), "<ARTIST>Kino</ARTIST><NAME>After</NAME>");
    wait_until([] { return false; }, seconds * 1000 - 2000);
    QElapsedTimer since;
    since.start();
    broker.start();
    double back[2] = {-1, -1};
    wait_until(
        [&]() {
            for (int i = 0; i < 2; ++i)
                if (back[i] < 0 && on(i, "TEXT=Kino - After\r\n"))
                    back[i] = double(since.elapsed()) / 1000;
            return back[0] >= 0 && back[1] >= 0;
        },
        60000);
    for (QProcess &watcher : watchers) {
        watcher.kill();
        watcher.waitForFinished();
    }
    std::printf("broker stopped %d s: each site's encoder had the studio's current text %.2f s and "
                "%.2f s after it started (target within 5 s); idle text sent: %s (target no)\n",
                seconds, back[0], back[1],
                encoders[0].received.contains("TEXT=Idle\r\n") ||
                        encoders[1].received.contains("TEXT=Idle\r\n")
                    ? "yes"
                    : "no");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[2] == QLatin1String("replies"))
        return replies(args[1], args[3].toInt());
    if (args.size() == 4 && args[2] == QLatin1String("outage"))
        return outage(args[1], args[3].toInt());
    if (args.size() == 5 && args[2] == QLatin1String("flood"))
        return flood(args[1], args[3].toInt(), args[4].toInt());
    std::fputs("usage: hostile_bench WATCH_BINARY replies COUNT\n"
               "       hostile_bench WATCH_BINARY outage SECONDS\n"
               "       hostile_bench WATCH_BINARY flood LARGE SMALL\n",
               stderr);
    return 64;
}
