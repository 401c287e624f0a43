// SPDX-License-Identifier: MIT
// Measurements of nowplaying-watch, driven by bench/watch.
//
//   watch_bench latency FOLDER EVENTS SEED QUIET_MS
//     Writes the document in FOLDER (where a watcher runs on the example's
//     settings) at random intervals of 0 to 300 ms, a third of the time as a
//     burst of two writes within 5 ms, and watches the RDS file. Prints the
//     latency from each event's last write (its close) to the moment the RDS
//     file holds that write's text (p50, p95, max), the events lost, and how
//     many snapshots of the three outputs differ from a one-shot pass over
//     the same document.
//   watch_bench passes FOLDER COUNT
//     Writes the document COUNT times, each time waiting until the RDS file
//     holds its text (one pass each).
//   watch_bench readers FOLDER COUNT
//     Makes COUNT passes as `passes` does, with the document replaced by
//     rename so that every version of it is whole, while a reader reads the three
//     outputs over and over, and counts the reads that found an output
//     empty, missing or partial (anything but a whole version of it).
//   watch_bench close FOLDER TRACKS CHUNKS SEED
//     Writes TRACKS tracks in place, each in one go (CHUNKS 1) or in two
//     chunks cut inside its title with a pause of 60 to 500 ms between them
//     (CHUNKS 2), and prints the latency from the last close to the RDS file
//     holding the track (p50, p95), the tracks lost, and the tracks whose
//     half document was passed over ("- - -" seen in the RDS file).
//   watch_bench cpu FOLDER COUNT BINARY
//     CPU time of COUNT in-process passes in FOLDER against COUNT runs of
//     BINARY there; prints the ratio process / in-process.
#include "bench_common.h"
#include "pass.h"
#include "pass_lock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

QByteArray document(int k)
{
    return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<ARTIST>\xCA\xE8\xED\xEE</ARTIST>"
           "<NAME>Track " +
           QByteArray::number(k) + "</NAME>\n";
}

QByteArray rds_of(int k)
{
    return "Kino - Track " + QByteArray::number(k);
}

using bench::read_file;

// Written in place, as most playout programs do; the time is the close.
Clock::time_point write_document(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
        std::perror("write");
        std::exit(1);
    }
    ::close(fd);
    return Clock::now();
}

struct Outputs {
    QByteArray copy, meta, rds;
    bool operator==(const Outputs &o) const
    {
        return copy == o.copy && meta == o.meta && rds == o.rds;
    }
};

Outputs outputs_in(const QString &folder)
{
    const QDir dir(folder);
    return {read_file(dir.filePath("nowplaying-utf8.xml")), read_file(dir.filePath("meta.txt")),
            read_file(dir.filePath("rds.txt"))};
}

// What a one-shot pass makes of a document with the folder's settings.
Outputs one_shot(const QString &folder, const QByteArray &doc)
{
    QTemporaryDir mirror;
    for (const char *name : {"settings.txt", "rusletters.txt"})
        QFile::copy(QDir(folder).filePath(name), QDir(mirror.path()).filePath(name));
    write_document(QDir(mirror.path()).filePath("nowplaying.xml"), doc);
    run_pass(QDateTime(QDate(2026, 12, 8), QTime(12, 0)), mirror.path());
    return outputs_in(mirror.path());
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int latency(const QString &folder, int events, unsigned seed, int quietMs)
{
    const QString doc = QDir(folder).filePath("nowplaying.xml");
    const QString rds = QDir(folder).filePath("rds.txt");
    std::mutex mutex;
    std::map<QByteArray, Clock::time_point> firstSeen;
    std::vector<Outputs> snapshots;
    std::atomic<bool> running{true};
    std::thread watcher([&] {
        QByteArray last = read_file(rds);
        while (running) {
            const QByteArray now = read_file(rds);
            if (now != last) {
                const Clock::time_point seen = Clock::now();
                last = now;
                // Under the folder's lock no pass is halfway through its
                // three files.
                const PassLock lock(QDir(folder).filePath("settings.txt"),
                                    std::chrono::milliseconds(1000));
                const Outputs snapshot = outputs_in(folder);
                std::lock_guard<std::mutex> guard(mutex);
                firstSeen.emplace(now, seen);
                snapshots.push_back(snapshot);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    std::mt19937 random(seed);
    std::uniform_int_distribution<int> gapMs(0, 300), burstUs(0, 5000), kind(0, 2);
    struct Event {
        int last;
        Clock::time_point started, closed; // the first write's close, the last one's
    };
    std::vector<Event> log;
    int k = 0;
    for (int e = 0; e < events; ++e) {
        Clock::time_point started{};
        if (kind(random) == 0) { // a burst: current track, then next track
            started = write_document(doc, document(++k));
            std::this_thread::sleep_for(std::chrono::microseconds(burstUs(random)));
        }
        ++k;
        const Clock::time_point closed = write_document(doc, document(k));
        log.push_back({k, started == Clock::time_point{} ? closed : started, closed});
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(quietMs + 2000));
    running = false;
    watcher.join();

    std::vector<double> latencies;
    int lost = 0, coalesced = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        const auto seen = firstSeen.find(rds_of(log[i].last));
        if (seen != firstSeen.end()) {
            latencies.push_back(ms(seen->second - log[i].closed));
            continue;
        }
        // The next write came within the quiet interval: the two make one
        // change, and the later one is the one to show.
        const bool next_within_quiet =
            i + 1 < log.size() && ms(log[i + 1].started - log[i].closed) < quietMs + 30;
        (next_within_quiet ? coalesced : lost) += 1;
    }
    int mismatches = 0;
    for (const Outputs &snapshot : snapshots) {
        const QByteArray text = snapshot.rds;
        const int n = text.startsWith("Kino - Track ") ? text.mid(13).toInt() : -1;
        if (n < 0 || !(one_shot(folder, document(n)) == snapshot))
            ++mismatches;
    }
    const bool finalRight = one_shot(folder, document(k)) == outputs_in(folder);
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? -1.0 : latencies[size_t(q * double(latencies.size() - 1))];
    };
    std::printf("events %d (writes %d), measured %zu, coalesced %d, lost %d\n", events, k,
                latencies.size(), coalesced, lost);
    std::printf("latency ms: p50 %.1f  p95 %.1f  max %.1f\n", at(0.5), at(0.95),
                latencies.empty() ? -1.0 : latencies.back());
    std::printf("snapshots %zu, differing from a one-shot pass %d; final outputs %s\n",
                snapshots.size(), mismatches, finalRight ? "right" : "WRONG");
    return lost == 0 && mismatches == 0 && finalRight ? 0 : 1;
}

// Replaced in one step, so that no pass can read it half-written.
void replace_document(const QString &path, const QByteArray &bytes)
{
    write_document(path + ".new", bytes);
    if (::rename(QFile::encodeName(path + ".new").constData(),
                 QFile::encodeName(path).constData()) != 0) {
        std::perror("rename");
        std::exit(1);
    }
}

int passes(const QString &folder, int count, bool byRename = false)
{
    const QString doc = QDir(folder).filePath("nowplaying.xml");
    const QString rds = QDir(folder).filePath("rds.txt");
    for (int k = 1; k <= count; ++k) {
        if (byRename)
            replace_document(doc, document(k));
        else
            write_document(doc, document(k));
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
        while (read_file(rds) != rds_of(k)) {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "no pass for write %d\n", k);
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return 0;
}

// A whole version of one output: the one-shot pass's bytes for track 1,
// with any track number in its place.
struct WholeVersion {
    QByteArray before, after; // around "Track N"
    bool matches(const QByteArray &bytes) const
    {
        if (!bytes.startsWith(before) || !bytes.endsWith(after) ||
            bytes.size() <= before.size() + after.size() + 6)
            return false;
        const QByteArray middle =
            bytes.mid(before.size(), bytes.size() - before.size() - after.size());
        bool number = false;
        middle.mid(6).toInt(&number);
        return middle.startsWith("Track ") && number;
    }
};

WholeVersion whole_version(const QByteArray &trackOne)
{
    const int at = trackOne.indexOf("Track 1");
    return {trackOne.left(at), trackOne.mid(at + 7)};
}

int readers(const QString &folder, int count)
{
    const Outputs first = one_shot(folder, document(1));
    const QDir dir(folder);
    const std::vector<std::pair<QString, WholeVersion>> outputs = {
        {dir.filePath("nowplaying-utf8.xml"), whole_version(first.copy)},
        {dir.filePath("meta.txt"), whole_version(first.meta)},
        {dir.filePath("rds.txt"), whole_version(first.rds)}};
    // The example's own outputs are no version of "Track N": one pass first.
    if (passes(folder, 1, true) != 0)
        return 1;
    std::atomic<bool> running{true};
    long reads = 0, empty = 0, partial = 0;
    std::thread reader([&] {
        while (running) {
            for (const auto &output : outputs) {
                const QByteArray bytes = read_file(output.first);
                ++reads;
                if (bytes.isEmpty())
                    ++empty;
                else if (!output.second.matches(bytes))
                    ++partial;
            }
        }
    });
    // The document is replaced whole, so every version a pass reads is
    // whole: an output caught otherwise is the pass's own fault.
    const int status = passes(folder, count, true);
    running = false;
    reader.join();
    std::printf("reads %ld during %d passes: empty or missing %ld, partial %ld\n", reads, count,
                empty, partial);
    return status;
}

double cpu_seconds(int who)
{
    rusage usage;
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int cpu(const QString &folder, int count, const char *binary)
{
    if (!QDir::setCurrent(folder))
        return 1;
    const QDateTime noon(QDate(2026, 12, 8), QTime(12, 0));
    const double before = cpu_seconds(RUSAGE_SELF);
    for (int i = 0; i < count; ++i)
        if (run_pass(noon, folder) != PassOutcome::Written)
            return 1;
    const double inProcess = cpu_seconds(RUSAGE_SELF) - before;
    char *argv[] = {const_cast<char *>(binary), nullptr};
    for (int i = 0; i < count; ++i) {
        pid_t pid;
        if (posix_spawn(&pid, binary, nullptr, nullptr, argv, environ) != 0)
            return 1;
        waitpid(pid, nullptr, 0);
    }
    const double processes = cpu_seconds(RUSAGE_CHILDREN);
    std::printf("CPU per pass: in-process %.3f ms, nowplaying-convert %.3f ms, ratio %.1f\n",
                inProcess * 1000 / count, processes * 1000 / count, processes / inProcess);
    return 0;
}

int close_latency(const QString &folder, int tracks, int chunks, unsigned seed)
{
    const QString doc = QDir(folder).filePath("nowplaying.xml");
    const QString rds = QDir(folder).filePath("rds.txt");
    std::mt19937 random(seed);
    std::vector<double> latencies;
    int lost = 0, halfPassed = 0;
    for (int k = 1; k <= tracks; ++k) {
        const QByteArray bytes = document(k);
        const int cut = chunks == 2 ? int(bytes.indexOf("ack ")) : int(bytes.size());
        Clock::time_point closed = write_document(doc, bytes.left(cut));
        bool half = false;
        if (cut < bytes.size()) {
            const auto pauseEnd = Clock::now() + std::chrono::milliseconds(60 + random() % 441);
            while (Clock::now() < pauseEnd) {
                half = half || read_file(rds) == "- - -";
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            const int fd = ::open(QFile::encodeName(doc).constData(), O_WRONLY | O_APPEND);
            if (fd < 0 || ::write(fd, bytes.constData() + cut, size_t(bytes.size() - cut)) !=
                              bytes.size() - cut)
                std::exit(1);
            ::close(fd);
            closed = Clock::now();
        }
        const auto deadline = closed + std::chrono::seconds(5);
        while (read_file(rds) != rds_of(k) && Clock::now() < deadline) {
            half = half || read_file(rds) == "- - -";
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (read_file(rds) != rds_of(k))
            ++lost;
        else
            latencies.push_back(ms(Clock::now() - closed));
        halfPassed += half ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 80));
    }
    const bench::Percentiles p = bench::percentiles(latencies);
    std::printf("%d tracks written %s: close -> RDS file p50 %.1f ms, p95 %.1f ms; lost %d; "
                "passes over a half document %d\n",
                tracks, chunks == 2 ? "in two chunks 60-500 ms apart" : "in one go", p.p50, p.p95,
                lost, halfPassed);
    return lost > 0 || halfPassed > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::setlocale(LC_CTYPE, "");
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == "latency" && argc == 6)
        return latency(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                       unsigned(std::atoi(argv[4])), std::atoi(argv[5]));
    if (mode == "passes" && argc == 4)
        return passes(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (mode == "readers" && argc == 4)
        return readers(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (mode == "close" && argc == 6)
        return close_latency(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                             std::atoi(argv[4]), unsigned(std::atoi(argv[5])));
    if (mode == "cpu" && argc == 5)
        return cpu(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), argv[4]);
    std::fprintf(stderr, "usage: watch_bench latency FOLDER EVENTS SEED QUIET_MS\n"
                         "       watch_bench passes FOLDER COUNT\n"
                         "       watch_bench readers FOLDER COUNT\n"
                         "       watch_bench close FOLDER TRACKS CHUNKS SEED\n"
                         "       watch_bench cpu FOLDER COUNT BINARY\n");
    return 2;
}
