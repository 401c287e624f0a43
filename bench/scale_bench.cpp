// SPDX-License-Identifier: MIT
// How nowplaying-watch holds up at scale and at its end, driven by
// bench/scale. Each round prints its figures and its target.
//
//   scale_bench WATCH CHECK lone|held|thousand|page|end|log-size
//     lone      one station: from each write of its document (replaced by
//               rename) to its RDS file, p50 and p95 over 200 tracks
//     held      8 stations in one watcher while this program holds all but
//               two of the user's inotify instances: the same for station
//               0 (target p95 within 10 ms), and whether any station polls
//     thousand  1,000 stations in one watcher, one of them stuck on a FIFO
//               output nobody reads: idle CPU over 20 s (target under 2 %
//               of a core), resident memory (under 150 MiB), station 0's
//               p95 over 100 tracks (within 10 ms of the lone station's),
//               SIGTERM to exit (within 2 s)
//     page      15 stations with and without --status-page: resident
//               memory after 60 passes each (target: at most 1 MiB more)
//     end       the check of a killed watcher's status exits 2, and how
//               long after the kill (target within 35 s); a SIGTERM'd
//               watcher's status says stopped, and how long after (1 s)
//     log-size  15 stations, each document rewritten every 3 s and a new
//               track every 30 s, for 60 s, to two file destinations: the
//               log's bytes an hour, and how many hours the defaults keep
#include "bench_common.h"
#include "output_file.h"
#include "status_page.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using bench::read_file;
using bench::replace_file;

const QByteArray settings = "<XML>doc.xml</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
                            "<OUTXMLENC>UTF-8</OUTXMLENC><META>meta.txt</META>"
                            "<METASPLITTER> - </METASPLITTER><METAENC>UTF-8</METAENC>"
                            "<RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";

QByteArray document(int track)
{
    return "<ARTIST>Кино</ARTIST><NAME>Track " + QByteArray::number(track) + "</NAME>";
}

long rss_kib(qint64 pid)
{
    for (const QByteArray &line : read_file(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

double cpu_ms(qint64 pid)
{
    const QByteArray stat = read_file(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

struct Group {
    QTemporaryDir top;
    QStringList folders;
    QProcess watch;

    Group(int stations, const QByteArray &more = {})
    {
        for (int i = 0; i < stations; ++i) {
            const QString folder =
                top.filePath(QStringLiteral("station-%1").arg(i, 4, 10, QLatin1Char('0')));
            QDir().mkpath(folder);
            replace_file(folder + "/settings.txt", settings + more);
            QFile::copy(QStringLiteral(EXAMPLE_DIR "/rusletters.txt"), folder + "/rusletters.txt");
            replace_file(folder + "/doc.xml", document(0));
            folders << folder;
        }
    }
    void start(const QString &binary, const QStringList &options = {})
    {
        watch.setStandardErrorFile(QProcess::nullDevice());
        watch.start(binary, options + folders);
    }
    // Waits for every station but those in `skip` to have made its first pass.
    void started(int skip = -1)
    {
        for (int i = 0; i < folders.size(); ++i)
            while (i != skip && read_file(folders[i] + "/rds.txt") != "Kino - Track 0")
                QThread::msleep(2);
    }
    ~Group()
    {
        watch.kill();
        watch.waitForFinished();
    }
};

// Station 0's tracks, each timed from its write to its RDS file.
bench::Percentiles latencies(const QString &folder, int tracks, int first = 1)
{
    std::vector<double> times;
    for (int track = first; track < first + tracks; ++track) {
        const QByteArray rds = "Kino - Track " + QByteArray::number(track);
        QElapsedTimer write;
        write.start();
        replace_file(folder + "/doc.xml", document(track));
        while (read_file(folder + "/rds.txt") != rds && write.elapsed() < 5000)
            QThread::usleep(100);
        times.push_back(double(write.nsecsElapsed()) / 1e6);
        QThread::msleep(20);
    }
    return bench::percentiles(times);
}

int lone(const QString &watch)
{
    Group group(1);
    group.start(watch);
    group.started();
    const bench::Percentiles p = latencies(group.folders[0], 200);
    std::printf("lone station: write to RDS file p50 %.2f ms, p95 %.2f ms\n", p.p50, p.p95);
    return 0;
}

int held(const QString &watch)
{
    std::vector<int> fds;
    for (int fd = inotify_init(); fd >= 0; fd = inotify_init())
        fds.push_back(fd);
    ::close(fds.back()); // all but two of the user's instances held here
    fds.pop_back();
    ::close(fds.back());
    fds.pop_back();
    Group group(8);
    const QString status = group.top.filePath("status.json");
    group.start(watch, {"--status", status});
    group.started();
    const bench::Percentiles p = latencies(group.folders[0], 200);
    QThread::msleep(500);
    const int polling = int(read_file(status).count("\"watching\": \"polling\""));
    for (const int fd : fds)
        ::close(fd);
    std::printf("8 stations, all but two instances held: p50 %.2f ms, p95 %.2f ms (target within "
                "10 ms); stations polling: %d (target 0)\n",
                p.p50, p.p95, polling);
    return 0;
}

int thousand(const QString &watch)
{
    const int stations = 1000;
    Group group(stations);
    // One station's RDS file is a FIFO nobody reads: each of its passes
    // waits 5 s for a reader.
    const QString stuck = group.folders[stations - 1] + "/rds.txt";
    mkfifo(QFile::encodeName(stuck).constData(), 0644);
    QElapsedTimer starting;
    starting.start();
    group.start(watch);
    group.started(stations - 1);
    const qint64 startMs = starting.elapsed();
    QThread::sleep(3);
    const qint64 pid = group.watch.processId();
    const double before = cpu_ms(pid);
    QThread::sleep(20);
    const double idle = (cpu_ms(pid) - before) / 20000.0 * 100.0;
    const long rss = rss_kib(pid);
    replace_file(group.folders[stations - 1] + "/doc.xml", document(1)); // stuck again
    const bench::Percentiles p = latencies(group.folders[0], 100);
    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid, SIGTERM);
    group.watch.waitForFinished(60000);
    std::printf("1000 stations: all started in %.1f s; idle CPU %.2f %% of a core (target under "
                "2 %%); resident %.1f MiB (under 150 MiB); station 0 p50 %.2f ms, p95 %.2f ms "
                "(within 10 ms of the lone station's); SIGTERM to exit %.2f s (within 2 s)\n",
                double(startMs) / 1000, idle, double(rss) / 1024, p.p50, p.p95,
                double(stopping.elapsed()) / 1000);
    return 0;
}

// The page of 15 stations with 4 destinations and a full chart each, made
// and written as the watcher does, 200 times: the mean time.
double page_ms(const QString &folder)
{
    WatcherState state;
    state.version = QStringLiteral("1.1.0");
    state.started = state.heartbeat = QDateTime::currentDateTime();
    for (int i = 0; i < 15; ++i) {
        StationState station;
        station.name = QStringLiteral("station-%1").arg(i);
        station.lastPass = station.lastWritten = state.heartbeat;
        station.artist = QStringLiteral("Кино");
        station.title = QStringLiteral("Группа крови");
        station.meta = QStringLiteral("Кино - Группа крови");
        for (int d = 1; d <= 4; ++d) {
            DestinationStatus destination;
            destination.tag = QStringLiteral("SEND%1").arg(d);
            destination.shown = QStringLiteral("rds+tcp://10.0.0.%1:1024").arg(d);
            destination.since = destination.lastDeliveredAt = state.heartbeat;
            destination.lastDelivered = QStringLiteral("Kino - Gruppa krovi");
            station.destinations[destination.tag] = destination;
        }
        for (int l = 0; l < keptLatencies; ++l)
            station.latenciesMs.push_back(2 + l % 7);
        state.stations.push_back(station);
    }
    const QString path = folder + "/page.html";
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        const QByteArray bytes = status_page_html(state).toUtf8();
        write_output(path, [&bytes](QFile &file) { return file.write(bytes) == bytes.size(); });
    }
    return double(clock.nsecsElapsed()) / 1e6 / 200;
}

int page(const QString &watch)
{
    QTemporaryDir made;
    std::printf("the status page of 15 stations made and written in %.2f ms (target under 5 ms)\n",
                page_ms(made.path()));
    long rss[2] = {};
    for (int withPage = 0; withPage < 2; ++withPage) {
        Group group(15);
        QStringList options{"--status", group.top.filePath("s.json")};
        if (withPage)
            options << "--status-page" << group.top.filePath("page.html");
        group.start(watch, options);
        group.started();
        for (int track = 1; track <= 4; ++track)
            for (const QString &folder : group.folders) {
                replace_file(folder + "/doc.xml", document(track));
                QThread::msleep(5);
            }
        QThread::sleep(2);
        rss[withPage] = rss_kib(group.watch.processId());
    }
    std::printf("15 stations: resident %.2f MiB without the page, %.2f MiB with it: %+.2f MiB "
                "(target at most +1 MiB)\n",
                double(rss[0]) / 1024, double(rss[1]) / 1024, double(rss[1] - rss[0]) / 1024);
    return 0;
}

int end(const QString &watch, const QString &check)
{
    double deadS = -1, stoppedS = -1;
    for (const int signal : {SIGKILL, SIGTERM}) {
        Group group(8);
        const QString status = group.top.filePath("status.json");
        group.start(watch, {"--status", status});
        group.started();
        QThread::sleep(1);
        QElapsedTimer since;
        since.start();
        ::kill(group.watch.processId(), signal);
        group.watch.waitForFinished(10000);
        if (signal == SIGTERM) {
            while (!read_file(status).contains("\"state\": \"stopped\"") && since.elapsed() < 10000)
                QThread::msleep(10);
            stoppedS = double(since.elapsed()) / 1000;
            continue;
        }
        while (since.elapsed() < 60000) {
            QProcess run;
            run.start(check, {"--status", status});
            run.waitForFinished(10000);
            if (run.exitCode() == 2)
                break;
            QThread::msleep(500);
        }
        deadS = double(since.elapsed()) / 1000;
    }
    std::printf("after kill -9, nowplaying-check --status exits 2 after %.1f s (target within "
                "35 s); after SIGTERM the status says stopped after %.2f s (within 1 s)\n",
                deadS, stoppedS);
    return 0;
}

int log_size(const QString &watch)
{
    Group group(15, "<SEND1>file:a.txt</SEND1><SEND2>file:b.txt?text=meta</SEND2>");
    const QString log = group.top.filePath("watch.log");
    group.start(watch, {"--log", log});
    group.started();
    const qint64 before = QFileInfo(log).size();
    QElapsedTimer clock;
    clock.start();
    for (int tick = 0; clock.elapsed() < 60000; ++tick) {
        // Every 3 s each document again; every 30 s a new track.
        for (const QString &folder : group.folders)
            replace_file(folder + "/doc.xml", document(1 + tick / 10));
        while (clock.elapsed() < (tick + 1) * 3000LL)
            QThread::msleep(10);
    }
    QThread::sleep(1);
    const double perHour = double(QFileInfo(log).size() - before) * 60 / (1024.0 * 1024.0);
    std::printf("15 stations, documents every 3 s, a track every 30 s: the log grows %.2f MiB an "
                "hour; the defaults (11 files of 10 MiB) keep %.0f hours (target at least 48)\n",
                perHour, 110.0 / perHour);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fputs("usage: scale_bench WATCH CHECK lone|held|thousand|page|end|log-size\n", stderr);
        return 64;
    }
    const QString watch = QString::fromLocal8Bit(argv[1]), check = QString::fromLocal8Bit(argv[2]);
    const QByteArray round = argv[3];
    if (round == "lone")
        return lone(watch);
    if (round == "held")
        return held(watch);
    if (round == "thousand")
        return thousand(watch);
    if (round == "page")
        return page(watch);
    if (round == "end")
        return end(watch, check);
    if (round == "log-size")
        return log_size(watch);
    return 64;
}
