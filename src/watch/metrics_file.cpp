// SPDX-License-Identifier: MIT
#include "metrics_file.h"

#include "outside_text.h"

#include <QStringList>

namespace {

// A label's value as the exposition format writes it: one line (a
// terminal shows it as it is), bounded with its escapes counted.
QString label(const QString &value)
{
    const QString line = without_controls(value);
    const int escapes = int(line.count(QLatin1Char('\\')) + line.count(QLatin1Char('"')));
    QString escaped = within_utf8_bytes(line, longestShownBytes - escapes);
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

QString seconds(const QDateTime &time)
{
    return number(double(time.toMSecsSinceEpoch()) / 1000);
}

// One sample: NAME{LABELS} VALUE.
QString sample(const char *name, const QString &labels, const QString &value)
{
    return QLatin1String(name) +
           (labels.isEmpty() ? QString() : QLatin1Char('{') + labels + QLatin1Char('}')) +
           QLatin1Char(' ') + value;
}

} // namespace

QString metrics_text(const WatcherState &state)
{
    QStringList passes, written, up, sends, histogram, polling, connected, online, message;
    for (const StationState &station : state.stations) {
        const QString at = QStringLiteral("station=") + label(station.name);
        for (const auto &[outcome, count] : station.passes)
            passes << sample("nowplaying_passes_total",
                             at + QStringLiteral(",outcome=") + label(outcome),
                             QString::number(count));
        if (station.lastWritten.isValid())
            written << sample("nowplaying_last_written_timestamp_seconds", at,
                              seconds(station.lastWritten));
        polling << sample("nowplaying_station_polling", at, QString::number(station.polling));
        for (const auto &[tag, d] : station.destinations) {
            const QString where = at + QStringLiteral(",destination=") + label(tag);
            up << sample("nowplaying_destination_up", where,
                         QString::number(d.state == QLatin1String("failing") ? 0 : 1));
            sends << sample("nowplaying_sends_total",
                            where + QStringLiteral(",result=\"delivered\""),
                            QString::number(d.sends - d.failures))
                  << sample("nowplaying_sends_total", where + QStringLiteral(",result=\"failed\""),
                            QString::number(d.failures));
        }
        if (const auto &source = station.source) {
            connected << sample("nowplaying_source_connected", at,
                                QString::number(source->connected));
            online << sample("nowplaying_source_studio_online", at,
                             QString::number(source->studio == QLatin1String("online")));
            if (source->lastMessageAt.isValid())
                message << sample("nowplaying_source_last_message_timestamp_seconds", at,
                                  seconds(source->lastMessageAt));
        }
        for (size_t i = 0; i < passSecondsBounds.size() && i < station.buckets.size(); ++i)
            histogram << sample("nowplaying_pass_seconds_bucket",
                                at + QStringLiteral(",le=\"") + number(passSecondsBounds[i]) +
                                    QLatin1Char('"'),
                                QString::number(station.buckets[i]));
        histogram << sample("nowplaying_pass_seconds_bucket", at + QStringLiteral(",le=\"+Inf\""),
                            QString::number(station.passCount))
                  << sample("nowplaying_pass_seconds_sum", at, number(station.secondsSum))
                  << sample("nowplaying_pass_seconds_count", at,
                            QString::number(station.passCount));
    }
    QString text;
    const auto family = [&text](const char *name, const char *type, const char *help,
                                const QStringList &samples) {
        text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                    .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
        for (const QString &line : samples)
            text += line + QLatin1Char('\n');
    };
    family("nowplaying_up", "gauge", "Whether the watcher runs (1) or stopped cleanly (0).",
           {sample("nowplaying_up", QString(), QString::number(state.running))});
    family("nowplaying_heartbeat_timestamp_seconds", "gauge",
           "When the watcher last wrote this file, in seconds since the epoch; at least every "
           "10 s while it runs.",
           {sample("nowplaying_heartbeat_timestamp_seconds", QString(), seconds(state.heartbeat))});
    family("nowplaying_passes_total", "counter", "Passes made, by outcome.", passes);
    family("nowplaying_last_written_timestamp_seconds", "gauge",
           "When a pass last wrote its files, in seconds since the epoch.", written);
    family("nowplaying_station_polling", "gauge",
           "Whether the station's changes are looked for (1) instead of told (0).", polling);
    family("nowplaying_destination_up", "gauge",
           "Whether the destination's last send went through (1) or failed (0).", up);
    family("nowplaying_sends_total", "counter", "Sends to the destination, by result.", sends);
    family("nowplaying_source_connected", "gauge",
           "Whether a site is connected to the broker it follows its studio through.", connected);
    family("nowplaying_source_studio_online", "gauge", "Whether a site's studio says it is online.",
           online);
    family("nowplaying_source_last_message_timestamp_seconds", "gauge",
           "When a site last took a now-playing message, in seconds since the epoch.", message);
    family("nowplaying_pass_seconds", "histogram", "How long passes took.", histogram);
    return text;
}
