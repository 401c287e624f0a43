// SPDX-License-Identifier: MIT
#include "monitor.h"

#include "metrics_file.h"
#include "output_file.h"
#include "status_file.h"
#include "status_page.h"
#include "version.h"

#include <QFile>

#include <algorithm>

const std::vector<double> passSecondsBounds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1,
                                               0.25,  0.5,    1,     2.5,  5,     10};

namespace {

// The system's reason when the file could not be written; empty when it was.
QString write_text(const QString &path, const QString &text)
{
    if (path.isEmpty())
        return QString();
    const QByteArray bytes = text.toUtf8();
    const WriteResult result =
        write_output(path, [&bytes](QFile &file) { return file.write(bytes) == bytes.size(); });
    return result.status == WriteStatus::Written ? QString()
                                                 : path + QStringLiteral(": ") + result.reason;
}

} // namespace

QString outcome_label(PassOutcome outcome)
{
    if (outcome == PassOutcome::Written)
        return QStringLiteral("written");
    if (outcome == PassOutcome::BlockedHour)
        return QStringLiteral("blocked_hour");
    return pass_message(outcome).toLower().replace(QLatin1Char(' '), QLatin1Char('_'));
}

Monitor::Monitor(const MonitorFiles &files, Clock clock) : files_(files), clock_(std::move(clock))
{
    state_.version = QLatin1String(programVersion);
    state_.started = clock_();
}

StationState &Monitor::find(const QString &name)
{
    for (StationState &station : state_.stations)
        if (station.name == name)
            return station;
    state_.stations.push_back({});
    StationState &station = state_.stations.back();
    station.name = name;
    station.buckets.assign(passSecondsBounds.size(), 0);
    return station;
}

void Monitor::changed()
{
    dirty_ = true;
}

void Monitor::station(const QString &name, const QString &folder)
{
    const QMutexLocker lock(&mutex_);
    find(name).folder = folder;
    changed();
}

void Monitor::pass(const QString &name, const PassReport &report)
{
    const QMutexLocker lock(&mutex_);
    StationState &station = find(name);
    station.started = true;
    station.lastPass = report.time;
    station.lastOutcome = outcome_label(report.outcome);
    station.lastMessage = pass_message(report.outcome);
    // A station that makes passes follows no studio (any more: its FOLLOW
    // may just have been taken out).
    station.source.reset();
    if (report.onAir) {
        station.lastWritten = report.time;
        station.artist = report.onAir->artist;
        station.title = report.onAir->title;
        station.meta = report.onAir->meta;
        station.rds = report.onAir->rds;
    }
    ++station.passes[station.lastOutcome];
    ++station.passCount;
    station.secondsSum += report.seconds;
    for (size_t i = 0; i < passSecondsBounds.size(); ++i)
        if (report.seconds <= passSecondsBounds[i])
            ++station.buckets[i];
    // Destinations the settings no longer name are gone.
    for (auto it = station.destinations.begin(); it != station.destinations.end();)
        it = report.destinations.contains(it->first) ? std::next(it)
                                                     : station.destinations.erase(it);
    changed();
}

void Monitor::followed(const QString &name, const OnAirText &onAir)
{
    const QMutexLocker lock(&mutex_);
    StationState &station = find(name);
    station.started = true;
    station.lastWritten = clock_();
    station.artist = onAir.artist;
    station.title = onAir.title;
    station.meta = onAir.meta;
    station.rds = onAir.rds;
    changed();
}

void Monitor::source(const QString &name, const SourceStatus &status)
{
    const QMutexLocker lock(&mutex_);
    StationState &station = find(name);
    station.started = true;
    station.source = status;
    changed();
}

void Monitor::destination(const QString &name, const DestinationStatus &status)
{
    const QMutexLocker lock(&mutex_);
    StationState &station = find(name);
    station.destinations[status.tag] = status;
    if (status.latencyMs >= 0) {
        station.latenciesMs.push_back(status.latencyMs);
        while (int(station.latenciesMs.size()) > keptLatencies)
            station.latenciesMs.pop_front();
    }
    changed();
}

void Monitor::watching(const QString &name, bool polling, const QString &why)
{
    const QMutexLocker lock(&mutex_);
    StationState &station = find(name);
    station.polling = polling;
    station.pollingWhy = why;
    changed();
}

bool Monitor::all_started() const
{
    const QMutexLocker lock(&mutex_);
    return std::all_of(state_.stations.begin(), state_.stations.end(),
                       [](const StationState &station) { return station.started; });
}

WatcherState Monitor::snapshot() const
{
    const QMutexLocker lock(&mutex_);
    WatcherState copy = state_;
    copy.heartbeat = clock_();
    return copy;
}

std::optional<QString> Monitor::write()
{
    if (files_.status.isEmpty() && files_.metrics.isEmpty() && files_.page.isEmpty())
        return QString();
    const QDateTime now = clock_();
    {
        const QMutexLocker lock(&mutex_);
        const qint64 since = lastWrite_.isValid() ? lastWrite_.msecsTo(now) : heartbeatMs;
        if (!(dirty_ && since >= minGapMs) && since < heartbeatMs)
            return std::nullopt;
        dirty_ = false;
        lastWrite_ = now;
    }
    const WatcherState state = snapshot();
    QString refused;
    for (const QString &reason : {write_text(files_.status, status_json(state)),
                                  write_text(files_.metrics, metrics_text(state)),
                                  write_text(files_.page, status_page_html(state))})
        if (refused.isEmpty())
            refused = reason;
    return refused;
}

QString Monitor::write_and_tell()
{
    const std::optional<QString> refused = write();
    // A tick with nothing due says nothing of whether the files can be
    // written: taken for a success, it would log the failure again at
    // every heartbeat.
    if (!refused)
        return QString();
    QString news;
    if (!refused->isEmpty() && *refused != lastRefusal_)
        news = QStringLiteral("cannot write %1").arg(*refused);
    else if (refused->isEmpty() && !lastRefusal_.isEmpty())
        news = QStringLiteral("the status files are written again");
    lastRefusal_ = *refused;
    return news;
}

void Monitor::stop()
{
    {
        const QMutexLocker lock(&mutex_);
        // A second call (once the sends in flight are over) keeps the time
        // the watcher stopped watching.
        if (state_.running)
            state_.stopped = clock_();
        state_.running = false;
        dirty_ = true;
        lastWrite_ = QDateTime();
    }
    write();
}

QString Monitor::summary() const
{
    const QMutexLocker lock(&mutex_);
    QStringList parts;
    for (const StationState &station : state_.stations) {
        const QString prefix =
            state_.stations.size() > 1 ? station.name + QStringLiteral(": ") : QString();
        if (station.lastOutcome.isEmpty() && !station.source)
            parts << prefix + QStringLiteral("starting");
        else if (!station.meta.isEmpty() || station.lastWritten.isValid())
            parts << prefix + QStringLiteral("on air: \"%1\"").arg(station.meta);
        if (!station.lastMessage.isEmpty())
            parts << prefix + station.lastMessage;
        if (station.polling)
            parts << prefix + QStringLiteral("polling");
        if (station.source && !station.source->connected)
            parts << prefix + QStringLiteral("broker not connected");
        for (const auto &[tag, d] : station.destinations)
            if (d.state == QLatin1String("failing"))
                parts << prefix + QStringLiteral("%1 failing since %2")
                                      .arg(tag, d.since.toString(QStringLiteral("HH:mm")));
    }
    return parts.join(QStringLiteral("; "));
}
