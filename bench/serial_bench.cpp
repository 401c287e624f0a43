// SPDX-License-Identifier: MIT
// Measurements of serial RDS encoders and the programme service name,
// driven by bench/serial.
//
//   serial_bench WATCH_BINARY TRACKS PS_SECONDS
//     A serial line at 9600 baud, as a pseudo-terminal pair (socat) whose
//     far end is bridged to a fake encoder on loopback: TRACKS tracks, for
//     each the time from the RDS file holding it to the encoder reading its
//     whole command (p50, p95), against the target of 10 ms plus the line's
//     own time (bytes x 10 / baud; a pseudo-terminal takes none of it, so
//     the figure is the program's). Then a TCP encoder with ps=page and
//     ps-seconds=2 for PS_SECONDS: how far each page change is from its due
//     time (p50, p95 of the lateness), and, at each text change, whether
//     the new text's first page came with it and restarted the cycle.
#include "bench_watch.h"
#include "event_wait.h"
#include "fake_destination.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using bench::percentiles;
using bench::read_file;
using bench::replace_file;
using bench::start_watch;

void serial_round(const QString &watchBinary, int tracks)
{
    FakeDestination encoder(FakeDestination::Encoder, {"+\r\n"});
    QTemporaryDir lines;
    const QString tty = lines.filePath("ttyRDS");
    QProcess bridge;
    bridge.start("socat", {"pty,raw,echo=0,b9600,link=" + tty,
                           "tcp:127.0.0.1:" + QString::number(encoder.port())});
    if (!wait_until([&]() { return QFileInfo::exists(tty); }, 5000)) {
        std::puts("serial: socat gave no pseudo-terminal");
        return;
    }
    QTemporaryDir dir;
    QProcess watch;
    start_watch(watchBinary, dir, {"rds+serial:" + tty + "?baud=9600"}, watch);
    std::vector<double> latency;
    int lost = 0, bytes = 0;
    for (int track = 1; track <= tracks; ++track) {
        const QByteArray rds = "Kino - Track " + QByteArray::number(track);
        const QByteArray command = "TEXT=" + rds + "\r\n";
        bytes = int(command.size());
        const int before = int(encoder.received.size());
        replace_file(dir.filePath("doc.xml"),
                     "<ARTIST>Кино</ARTIST><NAME>Track " + QByteArray::number(track) + "</NAME>");
        QElapsedTimer clock;
        double written = -1, received = -1;
        const bool done = wait_until(
            [&]() {
                if (written < 0 && read_file(dir.filePath("rds.txt")) == rds) {
                    clock.start();
                    written = 0;
                }
                for (int i = before; written >= 0 && i < encoder.received.size(); ++i)
                    if (encoder.received[i] == command)
                        received = double(clock.nsecsElapsed()) / 1e6;
                return received >= 0;
            },
            5000);
        if (!done) {
            ++lost;
            continue;
        }
        latency.push_back(received);
        wait_until([] { return false; }, 50 + track % 50);
    }
    const bench::Percentiles p = percentiles(latency);
    const double lineMs = bytes * 10.0 * 1000 / 9600;
    std::printf("serial at 9600 baud, %d tracks: RDS file -> encoder p50 %.2f ms, p95 %.2f ms; "
                "target p95 <= 10 ms + line %.1f ms; %d lost\n",
                tracks, p.p50, p.p95, lineMs, lost);
    watch.terminate();
    watch.waitForFinished(5000);
    bridge.kill();
    bridge.waitForFinished();
}

void paging_round(const QString &watchBinary, int seconds)
{
    FakeDestination encoder(FakeDestination::Encoder, {"+\r\n"});
    QTemporaryDir dir;
    QProcess watch;
    start_watch(watchBinary, dir,
                {QStringLiteral("rds+tcp://127.0.0.1:%1?ps=page&ps-seconds=2").arg(encoder.port())},
                watch);
    QElapsedTimer clock;
    clock.start();
    int track = 0, restarts = 0, changes = 0;
    qint64 changedAt = -1;
    while (clock.elapsed() < seconds * 1000LL) {
        // A new text every 19 s, between two page changes.
        ++track;
        ++changes;
        const int before = int(encoder.received.size());
        replace_file(dir.filePath("doc.xml"),
                     "<ARTIST>Akvarium</ARTIST><NAME>Gorod zolotoy nomer " +
                         QByteArray::number(track) + "</NAME>");
        changedAt = encoder.now_ms();
        // The new text's first page comes with its RadioText, at once.
        if (wait_until(
                [&]() {
                    return encoder.received.size() >= before + 2 &&
                           encoder.received[before] == "PS=Akvarium\r\n";
                },
                1000) &&
            encoder.receivedAt[before] - changedAt < 1000)
            ++restarts;
        wait_until([] { return false; }, 19000);
    }
    // Lateness of each page change after the first of its text: the time
    // since the previous PS command, less the 2 s it was due after.
    std::vector<double> late;
    for (int i = 1; i < encoder.received.size(); ++i) {
        const bool page = encoder.received[i].startsWith("PS=");
        const bool previousPage = encoder.received[i - 1].startsWith("PS=");
        if (page && previousPage && encoder.received[i] != "PS=Akvarium\r\n")
            late.push_back(
                std::fabs(double(encoder.receivedAt[i] - encoder.receivedAt[i - 1]) - 2000));
    }
    const bench::Percentiles p = percentiles(late);
    std::printf("PS pages every 2 s for %d s: %zu page changes, off their due time p50 %.1f ms, "
                "p95 %.1f ms (target p95 <= 50 ms); %d of %d text changes restarted the cycle "
                "at once\n",
                seconds, late.size(), p.p50, p.p95, restarts, changes);
    watch.terminate();
    watch.waitForFinished(5000);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: serial_bench WATCH_BINARY TRACKS PS_SECONDS\n", stderr);
        return 2;
    }
    serial_round(QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]).toInt());
    paging_round(QString::fromLocal8Bit(argv[1]), QByteArray(argv[3]).toInt());
    return 0;
}
