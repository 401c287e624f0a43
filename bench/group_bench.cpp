// SPDX-License-Identifier: MIT
// Measurements of station groups, driven by bench/group.
//
//   group_bench WATCH_BINARY SECONDS
//     For 1, 10 and 100 stations in one watcher, then 100 watchers of one
//     station each: every station's document is written anew (replaced by
//     rename, as playout programs do) once a second, at phases spread over
//     the second, for SECONDS seconds, while the first station's is written
//     four times a second and timed from each write to its RDS file holding
//     the new text. Prints the resident memory (summed over the processes,
//     and as proportional set size, which counts shared libraries once),
//     the CPU time per pass, and the first station's latency, p50 and p95.
#include "bench_common.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QByteArray settings = "<XML>doc.xml</XML><INXMLENC>UTF-8</INXMLENC><NEWXML>out.xml</NEWXML>"
                            "<OUTXMLENC>UTF-8</OUTXMLENC><META>meta.txt</META>"
                            "<METASPLITTER> - </METASPLITTER><METAENC>UTF-8</METAENC>"
                            "<RDS>rds.txt</RDS><RDSSPLITTER> - </RDSSPLITTER>";

using bench::read_file;
using bench::replace_file;

QByteArray document(int track)
{
    return "<ARTIST>Кино</ARTIST><NAME>Track " + QByteArray::number(track) + "</NAME>";
}

// A field of /proc/PID/status or smaps_rollup, in KiB.
long proc_kib(qint64 pid, const char *file, const char *field)
{
    const QByteArray text = read_file(QStringLiteral("/proc/%1/%2").arg(pid).arg(file));
    for (const QByteArray &line : text.split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

// User and system CPU time of a process, in milliseconds.
double cpu_ms(qint64 pid)
{
    const QByteArray stat = read_file(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

struct Result {
    long rssKib = 0, pssKib = 0;
    double cpuPerPassMs = 0;
    double p50 = 0, p95 = 0;
};

Result run(const QString &watchBinary, int stations, bool oneProcess, int seconds)
{
    QTemporaryDir top;
    QStringList folders;
    for (int i = 0; i < stations; ++i) {
        const QString folder = top.filePath(QStringLiteral("station-%1").arg(i));
        QDir().mkpath(folder);
        replace_file(folder + "/settings.txt", settings);
        QFile::copy(QStringLiteral(EXAMPLE_DIR "/rusletters.txt"), folder + "/rusletters.txt");
        replace_file(folder + "/doc.xml", document(0));
        folders << folder;
    }
    std::vector<std::unique_ptr<QProcess>> watchers;
    for (int i = 0; i < (oneProcess ? 1 : stations); ++i) {
        watchers.push_back(std::make_unique<QProcess>());
        watchers.back()->setStandardErrorFile(QProcess::nullDevice());
        watchers.back()->start(watchBinary, oneProcess ? folders : QStringList{folders[i]});
    }
    for (const QString &folder : folders)
        while (read_file(folder + "/rds.txt") != "Kino - Track 0")
            QThread::msleep(5);
    QThread::msleep(500);
    double cpuBefore = 0;
    for (auto &watcher : watchers)
        cpuBefore += cpu_ms(watcher->processId());

    // The other stations, each once a second at its own phase.
    std::atomic<bool> done{false};
    std::atomic<int> passes{0};
    std::thread others([&]() {
        QElapsedTimer clock;
        clock.start();
        int second = 0;
        while (!done) {
            ++second;
            for (int i = 1; i < stations && !done; ++i) {
                const qint64 at = (second - 1) * 1000LL + i * 1000LL / stations;
                while (clock.elapsed() < at && !done)
                    QThread::usleep(500);
                replace_file(folders[i] + "/doc.xml", document(second));
                ++passes;
            }
            while (clock.elapsed() < second * 1000LL && !done)
                QThread::usleep(500);
        }
    });
    std::vector<double> latencies;
    QElapsedTimer clock;
    clock.start();
    for (int track = 1; clock.elapsed() < seconds * 1000LL; ++track) {
        const QByteArray rds = "Kino - Track " + QByteArray::number(track);
        QElapsedTimer write;
        write.start();
        replace_file(folders[0] + "/doc.xml", document(track));
        ++passes;
        while (read_file(folders[0] + "/rds.txt") != rds && write.elapsed() < 5000)
            QThread::usleep(200);
        latencies.push_back(double(write.nsecsElapsed()) / 1e6);
        while (write.elapsed() < 250)
            QThread::msleep(1);
    }
    done = true;
    others.join();
    QThread::msleep(1500); // the last passes

    Result result;
    double cpu = 0;
    for (auto &watcher : watchers) {
        result.rssKib += proc_kib(watcher->processId(), "status", "VmRSS:");
        result.pssKib += proc_kib(watcher->processId(), "smaps_rollup", "Pss:");
        cpu += cpu_ms(watcher->processId());
        watcher->terminate();
        watcher->waitForFinished(5000);
    }
    result.cpuPerPassMs = (cpu - cpuBefore) / passes;
    const bench::Percentiles p = bench::percentiles(latencies);
    result.p50 = p.p50;
    result.p95 = p.p95;
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: group_bench WATCH_BINARY SECONDS\n", stderr);
        return 64;
    }
    const QString watchBinary = QString::fromLocal8Bit(argv[1]);
    const int seconds = QByteArray(argv[2]).toInt();
    std::printf("%-34s %10s %10s %14s %10s %10s\n", "", "RSS", "PSS", "CPU per pass", "p50", "p95");
    const struct {
        const char *what;
        int stations;
        bool oneProcess;
    } rounds[] = {{"1 station", 1, true},
                  {"10 stations in one watcher", 10, true},
                  {"100 stations in one watcher", 100, true},
                  {"100 watchers of one station each", 100, false}};
    for (const auto &round : rounds) {
        const Result r = run(watchBinary, round.stations, round.oneProcess, seconds);
        std::printf("%-34s %6.1f MiB %6.1f MiB %11.2f ms %7.1f ms %7.1f ms\n", round.what,
                    double(r.rssKib) / 1024, double(r.pssKib) / 1024, r.cpuPerPassMs, r.p50, r.p95);
        std::fflush(stdout);
    }
    return 0;
}
