// SPDX-License-Identifier: MIT
// Measurements of sending, driven by bench/send.
//
//   send_bench WATCH_BINARY TRACKS
//     Starts a real Icecast server with a source and a listener, a fake RDS
//     encoder and, for the last round, a destination that never answers,
//     all on loopback. In three rounds of TRACKS tracks each (the watcher
//     without destinations; with Icecast and the encoder; with the one that
//     never answers as well), writes the document (replaced by rename) and
//     measures the time from the write to the RDS file holding the track,
//     to the encoder receiving it and to the listener reading its title.
//     Prints p50 and p95 of each. Then DELAY_TRACKS tracks half a second
//     apart to two fake encoders, one with delay=10: for each track, the
//     time from its pass (the RDS file holding it) to each encoder
//     receiving it. Last, TRACKS tracks from a studio publishing to a real
//     MQTT broker (Debian's mosquitto) to a site that follows it and feeds
//     a fake encoder: the time from each write to the studio's RDS file and
//     to the site's encoder receiving the track.
#include "bench_watch.h"
#include "event_wait.h"
#include "fake_destination.h"
#include "icecast_server.h"
#include "mqtt_broker.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::read_file;
using bench::replace_file;
using bench::start_watch;

struct Round {
    std::vector<double> files, encoder, listener;
    int lost = 0;
};

Round run_round(const QString &watchBinary, int tracks, const QStringList &destinations,
                FakeDestination &encoder, IcecastListener &listener)
{
    QTemporaryDir dir;
    QProcess watch;
    start_watch(watchBinary, dir, destinations, watch);

    Round round;
    const bool sending = !destinations.isEmpty();
    for (int track = 1; track <= tracks; ++track) {
        const QByteArray title = "Track " + QByteArray::number(track);
        const QByteArray rds = "Kino - " + title;
        const int encoderBefore = int(encoder.received.size());
        QElapsedTimer clock;
        clock.start();
        replace_file(dir.filePath("doc.xml"), "<ARTIST>Кино</ARTIST><NAME>" + title + "</NAME>");
        double files = -1, toEncoder = -1, toListener = -1;
        const bool done = wait_until(
            [&]() {
                const double now = double(clock.nsecsElapsed()) / 1e6;
                if (files < 0 && read_file(dir.filePath("rds.txt")) == rds)
                    files = now;
                if (sending && toEncoder < 0)
                    for (int i = encoderBefore; i < encoder.received.size(); ++i)
                        if (encoder.received[i].contains(rds))
                            toEncoder = now;
                if (sending && toListener < 0 && !listener.titles.isEmpty() &&
                    listener.titles.last() == "Кино - " + title)
                    toListener = now;
                return files >= 0 && (!sending || (toEncoder >= 0 && toListener >= 0));
            },
            5000);
        if (!done) {
            ++round.lost;
            continue;
        }
        round.files.push_back(files);
        if (sending) {
            round.encoder.push_back(toEncoder);
            round.listener.push_back(toListener);
        }
        // Tracks a little apart, as on air.
        wait_until([] { return false; }, 30 + track % 50);
    }
    watch.terminate();
    watch.waitForFinished(5000);
    return round;
}

struct DelayRound {
    std::vector<double> now, later; // pass -> encoder, in milliseconds
    int lost = 0;
};

// Two encoders on one clock, the second with delay=10; tracks half a second
// apart, so that ten of them wait at a time.
DelayRound run_delay_round(const QString &watchBinary, int tracks, FakeDestination &now,
                           FakeDestination &later)
{
    QTemporaryDir dir;
    QProcess watch;
    start_watch(watchBinary, dir,
                {QStringLiteral("rds+tcp://127.0.0.1:%1").arg(now.port()),
                 QStringLiteral("rds+tcp://127.0.0.1:%1?delay=10").arg(later.port())},
                watch);
    // Both fakes count from their start; `later`'s clock is taken as is
    // and `now`'s shifted onto it.
    const qint64 shift = later.now_ms() - now.now_ms();
    std::vector<qint64> passAt;
    QList<QByteArray> texts;
    for (int track = 1; track <= tracks; ++track) {
        const QByteArray title = "Track " + QByteArray::number(track);
        texts << "TEXT=Kino - " + title + "\r\n";
        replace_file(dir.filePath("doc.xml"), "<ARTIST>Кино</ARTIST><NAME>" + title + "</NAME>");
        if (!wait_until([&]() { return read_file(dir.filePath("rds.txt")) == "Kino - " + title; },
                        5000)) {
            passAt.push_back(-1);
            continue;
        }
        passAt.push_back(later.now_ms());
        wait_until([] { return false; }, 500);
    }
    wait_until([&]() { return later.received.size() >= tracks + 1; }, 15000);
    DelayRound round;
    for (int i = 0; i < tracks; ++i) {
        const int atNow = int(now.received.indexOf(texts[i]));
        const int atLater = int(later.received.indexOf(texts[i]));
        if (passAt[size_t(i)] < 0 || atNow < 0 || atLater < 0) {
            ++round.lost;
            continue;
        }
        round.now.push_back(double(now.receivedAt[atNow] + shift - passAt[size_t(i)]));
        round.later.push_back(double(later.receivedAt[atLater] - passAt[size_t(i)]));
    }
    watch.terminate();
    watch.waitForFinished(5000);
    return round;
}

// A studio that publishes to a broker, and a site that follows it and feeds
// `encoder`: from each write of the studio's document to its RDS file and
// to the encoder.
Round run_follow_round(const QString &watchBinary, int tracks, FakeDestination &encoder)
{
    MqttBroker broker;
    QTemporaryDir studio, site;
    QProcess studioWatch, siteWatch;
    replace_file(site.filePath("settings.txt"),
                 "<FOLLOW>" + broker.url("studio/np").toUtf8() +
                     "</FOLLOW><SEND1>rds+tcp://127.0.0.1:" + QByteArray::number(encoder.port()) +
                     "</SEND1>");
    siteWatch.setStandardErrorFile(QProcess::nullDevice());
    siteWatch.start(watchBinary, {site.path()});
    start_watch(watchBinary, studio, {broker.url("studio/np")}, studioWatch);
    Round round;
    for (int track = 1; track <= tracks; ++track) {
        const QByteArray title = "Track " + QByteArray::number(track);
        const QByteArray rds = "Kino - " + title;
        const int before = int(encoder.received.size());
        QElapsedTimer clock;
        clock.start();
        replace_file(studio.filePath("doc.xml"), "<ARTIST>Кино</ARTIST><NAME>" + title + "</NAME>");
        double files = -1, toEncoder = -1;
        const bool done = wait_until(
            [&]() {
                const double now = double(clock.nsecsElapsed()) / 1e6;
                if (files < 0 && read_file(studio.filePath("rds.txt")) == rds)
                    files = now;
                for (int i = before; toEncoder < 0 && i < encoder.received.size(); ++i)
                    if (encoder.received[i].contains(rds))
                        toEncoder = now;
                return files >= 0 && toEncoder >= 0;
            },
            5000);
        if (!done) {
            ++round.lost;
            continue;
        }
        round.files.push_back(files);
        round.encoder.push_back(toEncoder);
        wait_until([] { return false; }, 30 + track % 50);
    }
    for (QProcess *watch : {&studioWatch, &siteWatch}) {
        watch->terminate();
        watch->waitForFinished(5000);
    }
    return round;
}

void print(const char *what, const std::vector<double> &values)
{
    const bench::Percentiles p = bench::percentiles(values);
    std::printf("  %-40s p50 %6.1f ms   p95 %6.1f ms\n", what, p.p50, p.p95);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: send_bench WATCH_BINARY TRACKS DELAY_TRACKS\n", stderr);
        return 64;
    }
    const QString watchBinary = QString::fromLocal8Bit(argv[1]);
    const int tracks = QByteArray(argv[2]).toInt();
    const int delayTracks = QByteArray(argv[3]).toInt();
    IcecastServer server;
    if (!server.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    IcecastSource source(server.port());
    IcecastListener listener(server.port());
    FakeDestination encoder(FakeDestination::Encoder, {"OK\r\n"});
    FakeDestination hanging(FakeDestination::Encoder, {});
    const QString icecast = QStringLiteral("icecast://source:%1@127.0.0.1:%2%3")
                                .arg(QLatin1String(IcecastServer::sourcePassword))
                                .arg(server.port())
                                .arg(QLatin1String(IcecastServer::mount));
    const QString rds = QStringLiteral("rds+tcp://127.0.0.1:%1").arg(encoder.port());
    const QString never = QStringLiteral("rds+tcp://127.0.0.1:%1").arg(hanging.port());

    const Round alone = run_round(watchBinary, tracks, {}, encoder, listener);
    const Round sending = run_round(watchBinary, tracks, {icecast, rds}, encoder, listener);
    const Round withHanging =
        run_round(watchBinary, tracks, {icecast, rds, never}, encoder, listener);

    std::printf("%d tracks a round; lost: %d, %d, %d\n", tracks, alone.lost, sending.lost,
                withHanging.lost);
    std::printf("without destinations:\n");
    print("write -> RDS file", alone.files);
    std::printf("with Icecast and an encoder:\n");
    print("write -> RDS file", sending.files);
    print("write -> encoder receives the command", sending.encoder);
    print("write -> listener reads the title", sending.listener);
    std::printf("with a destination that never answers as well:\n");
    print("write -> RDS file", withHanging.files);
    print("write -> encoder receives the command", withHanging.encoder);
    print("write -> listener reads the title", withHanging.listener);

    FakeDestination prompt(FakeDestination::Encoder, {"OK\r\n"});
    FakeDestination delayed(FakeDestination::Encoder, {"OK\r\n"});
    const DelayRound delay = run_delay_round(watchBinary, delayTracks, prompt, delayed);
    std::printf("%d tracks half a second apart to two encoders, one with delay=10; lost: %d\n",
                delayTracks, delay.lost);
    print("pass -> encoder without delay", delay.now);
    print("pass -> encoder with delay=10", delay.later);

    FakeDestination siteEncoder(FakeDestination::Encoder, {"OK\r\n"});
    const Round follow = run_follow_round(watchBinary, tracks, siteEncoder);
    std::printf("%d tracks from a studio through an MQTT broker to a site; lost: %d\n", tracks,
                follow.lost);
    print("write -> studio's RDS file", follow.files);
    print("write -> site's encoder receives it", follow.encoder);
    return 0;
}
