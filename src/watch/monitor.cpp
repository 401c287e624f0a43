// SPDX-License-Identifier: MIT
#include "monitor.h"

#include "output_file.h"
#include "outside_text.h"
#include "version.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// The upper bounds of the pass time histogram, in seconds.
const double bounds[] = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

QJsonValue time_value(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue::Null;
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// A text field of the status file, bounded whatever a peer sent.
QJsonValue text(const QString &value)
{
    return within_utf8_bytes(value);
}

// A label's value as the exposition format writes it.
QString label(const QString &value)
{
    QString escaped = within_utf8_bytes(value);
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

void write_text(const QString &path, const QString &text)
{
    if (path.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    write_output(path, [&bytes](QFile &file) { return file.write(bytes) == bytes.size(); });
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

Monitor::Monitor(const QString &statusPath, const QString &metricsPath)
    : statusPath_(statusPath), metricsPath_(metricsPath)
{
}

void Monitor::station(const QString &name, const QString &folder)
{
    const QMutexLocker lock(&mutex_);
    Station &station = stations_[name];
    station.folder = folder;
    station.buckets.assign(std::size(bounds), 0);
}

void Monitor::pass(const QString &name, const PassReport &report)
{
    {
        const QMutexLocker lock(&mutex_);
        Station &station = stations_[name];
        station.started = true;
        station.lastPass = report.time;
        station.lastOutcome = outcome_label(report.outcome);
        station.lastMessage = pass_message(report.outcome);
        if (report.onAir) {
            station.lastWritten = report.time;
            station.meta = report.onAir->meta;
            station.rds = report.onAir->rds;
        }
        ++station.passes[station.lastOutcome];
        ++station.passCount;
        station.secondsSum += report.seconds;
        for (size_t i = 0; i < std::size(bounds); ++i)
            if (report.seconds <= bounds[i])
                ++station.buckets[i];
        // Destinations the settings no longer name are gone.
        for (auto it = station.destinations.begin(); it != station.destinations.end();)
            it = report.destinations.contains(it->first) ? std::next(it)
                                                         : station.destinations.erase(it);
    }
    write_files();
}

void Monitor::followed(const QString &name, const OnAirText &onAir)
{
    {
        const QMutexLocker lock(&mutex_);
        Station &station = stations_[name];
        station.started = true;
        station.lastWritten = QDateTime::currentDateTime();
        station.meta = onAir.meta;
        station.rds = onAir.rds;
    }
    write_files();
}

void Monitor::destination(const QString &name, const DestinationStatus &status)
{
    {
        const QMutexLocker lock(&mutex_);
        stations_[name].destinations[status.tag] = status;
    }
    write_files();
}

bool Monitor::all_started() const
{
    const QMutexLocker lock(&mutex_);
    return std::all_of(stations_.begin(), stations_.end(),
                       [](const auto &station) { return station.second.started; });
}

QString Monitor::status_json() const
{
    const QMutexLocker lock(&mutex_);
    QJsonArray stations;
    for (const auto &[name, station] : stations_) {
        QJsonArray destinations;
        for (const auto &[tag, d] : station.destinations)
            destinations.append(
                QJsonObject{{QStringLiteral("destination"), text(tag)},
                            {QStringLiteral("address"), text(d.shown)},
                            {QStringLiteral("state"), text(d.state)},
                            {QStringLiteral("since"), time_value(d.since)},
                            {QStringLiteral("lastDelivered"), text(d.lastDelivered)},
                            {QStringLiteral("lastDeliveredAt"), time_value(d.lastDeliveredAt)},
                            {QStringLiteral("lastError"), text(d.lastError)},
                            {QStringLiteral("sends"), d.sends},
                            {QStringLiteral("failures"), d.failures}});
        stations.append(
            QJsonObject{{QStringLiteral("station"), text(name)},
                        {QStringLiteral("folder"), text(station.folder)},
                        {QStringLiteral("lastPass"),
                         QJsonObject{{QStringLiteral("time"), time_value(station.lastPass)},
                                     {QStringLiteral("outcome"), text(station.lastOutcome)},
                                     {QStringLiteral("message"), text(station.lastMessage)}}},
                        {QStringLiteral("lastWritten"), time_value(station.lastWritten)},
                        {QStringLiteral("meta"), text(station.meta)},
                        {QStringLiteral("rds"), text(station.rds)},
                        {QStringLiteral("destinations"), destinations}});
    }
    const QJsonObject status{{QStringLiteral("version"), QLatin1String(programVersion)},
                             {QStringLiteral("updated"), time_value(QDateTime::currentDateTime())},
                             {QStringLiteral("stations"), stations}};
    return QString::fromUtf8(QJsonDocument(status).toJson(QJsonDocument::Indented));
}

QString Monitor::metrics_text() const
{
    const QMutexLocker lock(&mutex_);
    QStringList passes, written, up, sends, histogram;
    for (const auto &[name, station] : stations_) {
        const QString at = QStringLiteral("station=") + label(name);
        for (const auto &[outcome, count] : station.passes)
            passes << QStringLiteral("nowplaying_passes_total{%1,outcome=%2} %3")
                          .arg(at, label(outcome), QString::number(count));
        if (station.lastWritten.isValid())
            written << QStringLiteral("nowplaying_last_written_timestamp_seconds{%1} %2")
                           .arg(at, number(double(station.lastWritten.toMSecsSinceEpoch()) / 1000));
        for (const auto &[tag, d] : station.destinations) {
            const QString where = at + QStringLiteral(",destination=") + label(tag);
            up << QStringLiteral("nowplaying_destination_up{%1} %2")
                      .arg(where, QString::number(d.state == QLatin1String("failing") ? 0 : 1));
            sends << QStringLiteral("nowplaying_sends_total{%1,result=\"delivered\"} %2")
                         .arg(where, QString::number(d.sends - d.failures))
                  << QStringLiteral("nowplaying_sends_total{%1,result=\"failed\"} %2")
                         .arg(where, QString::number(d.failures));
        }
        for (size_t i = 0; i < std::size(bounds); ++i)
            histogram << QStringLiteral("nowplaying_pass_seconds_bucket{%1,le=\"%2\"} %3")
                             .arg(at, number(bounds[i]), QString::number(station.buckets[i]));
        histogram << QStringLiteral("nowplaying_pass_seconds_bucket{%1,le=\"+Inf\"} %2")
                         .arg(at, QString::number(station.passCount))
                  << QStringLiteral("nowplaying_pass_seconds_sum{%1} %2")
                         .arg(at, number(station.secondsSum))
                  << QStringLiteral("nowplaying_pass_seconds_count{%1} %2")
                         .arg(at, QString::number(station.passCount));
    }
    QString text;
    const auto family = [&text](const char *name, const char *type, const char *help,
                                const QStringList &samples) {
        text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                    .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
        for (const QString &sample : samples)
            text += sample + QLatin1Char('\n');
    };
    family("nowplaying_passes_total", "counter", "Passes made, by outcome.", passes);
    family("nowplaying_last_written_timestamp_seconds", "gauge",
           "When a pass last wrote its files, in seconds since the epoch.", written);
    family("nowplaying_destination_up", "gauge",
           "Whether the destination's last send went through (1) or failed (0).", up);
    family("nowplaying_sends_total", "counter", "Sends to the destination, by result.", sends);
    family("nowplaying_pass_seconds", "histogram", "How long passes took.", histogram);
    return text;
}

QString Monitor::summary() const
{
    const QMutexLocker lock(&mutex_);
    QStringList parts;
    for (const auto &[name, station] : stations_) {
        const QString prefix = stations_.size() > 1 ? name + QStringLiteral(": ") : QString();
        if (station.lastOutcome.isEmpty())
            parts << prefix + QStringLiteral("starting");
        else if (!station.meta.isEmpty() || station.lastWritten.isValid())
            parts << prefix + QStringLiteral("on air: \"%1\"").arg(station.meta);
        if (!station.lastMessage.isEmpty())
            parts << prefix + station.lastMessage;
        for (const auto &[tag, d] : station.destinations)
            if (d.state == QLatin1String("failing"))
                parts << prefix + QStringLiteral("%1 failing since %2")
                                      .arg(tag, d.since.toString(QStringLiteral("HH:mm")));
    }
    return parts.join(QStringLiteral("; "));
}

void Monitor::write_files()
{
    if (statusPath_.isEmpty() && metricsPath_.isEmpty())
        return;
    // One writer at a time, each file whole.
    static QMutex writing;
    const QMutexLocker lock(&writing);
    write_text(statusPath_, status_json());
    write_text(metricsPath_, metrics_text());
}
