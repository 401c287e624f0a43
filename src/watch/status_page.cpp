// SPDX-License-Identifier: MIT
#include "status_page.h"

#include "outside_text.h"
#include "status_file.h"

#include <algorithm>

namespace {

QString ms(const QDateTime &time)
{
    return time.isValid() ? QString::number(time.toMSecsSinceEpoch()) : QStringLiteral("0");
}

// The local time as a reader sees it, the date too when it is not today's.
QString when(const QDateTime &time, const QDateTime &now)
{
    if (!time.isValid())
        return QStringLiteral("never");
    return time.toString(time.date() == now.date() ? QStringLiteral("HH:mm:ss")
                                                   : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A text of the page, escaped and bounded.
QString shown(const QString &text)
{
    return html_escaped(within_utf8_bytes(text));
}

// A bar for each recent pass-to-send time, the longest the full height.
QString chart(const std::deque<int> &latencies)
{
    if (latencies.empty())
        return QStringLiteral("<span class=\"quiet\">no sends yet</span>");
    const int top = std::max(1, *std::max_element(latencies.begin(), latencies.end()));
    const int height = 40, bar = 4;
    const int width = bar * keptLatencies;
    QString bars;
    int x = width - bar * int(latencies.size());
    for (const int value : latencies) {
        const int h = std::max(1, value * height / top);
        bars += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"/>")
                    .arg(QString::number(x), QString::number(height - h), QString::number(bar - 1),
                         QString::number(h));
        x += bar;
    }
    return QStringLiteral("<svg width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                          "aria-label=\"pass to send, ms\"><g fill=\"#36c\">%3</g></svg> "
                          "<span class=\"quiet\">the last %4 sends, up to %5 ms, the last %6 "
                          "ms</span>")
        .arg(QString::number(width), QString::number(height), bars,
             QString::number(latencies.size()), QString::number(top),
             QString::number(latencies.back()));
}

QString destination_row(const DestinationStatus &d, const QDateTime &now)
{
    const bool failing = d.state == QLatin1String("failing");
    return QStringLiteral("<tr class=\"%1\"><td>%2</td><td>%3</td><td>%4 since %5</td>"
                          "<td>%6</td></tr>\n")
        .arg(failing ? QStringLiteral("bad") : QStringLiteral("good"), shown(d.tag), shown(d.shown),
             shown(d.state), when(d.since, now),
             failing ? shown(d.lastError)
             : d.lastDeliveredAt.isValid()
                 ? QStringLiteral("sent \"%1\" at %2")
                       .arg(shown(d.lastDelivered), when(d.lastDeliveredAt, now))
                 : QString());
}

QString source_block(const SourceStatus &s, const QDateTime &now)
{
    const bool good = s.connected && s.studio == QLatin1String("online");
    return QStringLiteral("<p class=\"%1\">Follows %2: broker %3 since %4%5; studio %6 since "
                          "%7; last message at %8: \"%9\"</p>\n")
        .arg(good ? QStringLiteral("good") : QStringLiteral("bad"), shown(s.address),
             s.connected ? QStringLiteral("connected") : QStringLiteral("not connected"),
             when(s.since, now),
             s.brokerError.isEmpty()
                 ? QString()
                 : QStringLiteral(" (") + shown(s.brokerError) + QLatin1Char(')'),
             shown(s.studio), when(s.studioSince, now), when(s.lastMessageAt, now),
             shown(s.lastMessage));
}

QString station_block(const StationState &station, const QDateTime &now)
{
    QString html = QStringLiteral("<section>\n<h2>%1</h2>\n").arg(shown(station.name));
    const bool nothing = station.artist.isEmpty() && station.title.isEmpty();
    html += QStringLiteral("<p class=\"onair\">%1</p>\n")
                .arg(!station.lastWritten.isValid() ? QStringLiteral("nothing on air yet")
                     : nothing ? QStringLiteral("no artist or title (a jingle): destinations get "
                                                "their idle text")
                               : QStringLiteral("on air: \"%1\"").arg(shown(station.meta)));
    html += QStringLiteral("<p>last pass <span data-time=\"%1\">at %2</span>%3%4</p>\n")
                .arg(ms(station.lastPass), when(station.lastPass, now),
                     station.lastMessage.isEmpty()
                         ? QString()
                         : QStringLiteral(": <span class=\"badtext\">%1</span>")
                               .arg(shown(station.lastMessage)),
                     station.polling ? QStringLiteral("; <span class=\"badtext\">changes looked "
                                                      "for, not told: %1</span>")
                                           .arg(shown(station.pollingWhy))
                                     : QString());
    if (station.source)
        html += source_block(*station.source, now);
    if (!station.destinations.empty()) {
        html += QStringLiteral("<table>\n");
        for (const auto &entry : station.destinations)
            html += destination_row(entry.second, now);
        html += QStringLiteral("</table>\n");
    }
    html += QStringLiteral("<p>pass to send: %1</p>\n</section>\n").arg(chart(station.latenciesMs));
    return html;
}

const char *const style =
    "body{font-family:sans-serif;margin:1em;color:#222}"
    "#banner{padding:.5em;font-weight:bold;border-radius:4px}"
    ".up{background:#dfd;color:#060}.down{background:#fdd;color:#c00}"
    "section{border-top:1px solid #ccc;margin-top:1em}"
    "table{border-collapse:collapse}td{padding:.2em .6em;border-bottom:1px solid #eee}"
    "tr.good td:first-child,p.good{border-left:6px solid #2a2}"
    "tr.bad td:first-child,p.bad{border-left:6px solid #d22}"
    "tr.bad,p.bad,.badtext{color:#c00}.quiet{color:#777;font-size:smaller}"
    ".onair{font-size:larger}";

// Reloads every 5 s; tells from the heartbeat and the browser's clock
// whether the watcher runs; writes every "ago".
const char *const script = R"(
(function () {
  var body = document.body;
  var beat = Number(body.getAttribute('data-heartbeat'));
  function ago(ms) {
    var s = Math.max(0, Math.round(ms / 1000));
    if (s < 120) return s + ' s';
    if (s < 7200) return Math.round(s / 60) + ' min';
    return Math.round(s / 3600) + ' h';
  }
  var now = Date.now();
  var banner = document.getElementById('banner');
  if (body.getAttribute('data-state') === 'stopped') {
    banner.className = 'down';
    banner.textContent = 'The watcher is not running: it stopped ' + ago(now - beat) + ' ago.';
  } else if (now - beat > DEAD_AFTER_MS) {
    banner.className = 'down';
    banner.textContent = 'The watcher is not running: no heartbeat for ' + ago(now - beat) + '.';
  } else {
    banner.className = 'up';
    banner.textContent = 'The watcher is running (heartbeat ' + ago(now - beat) + ' ago).';
  }
  var times = document.querySelectorAll('[data-time]');
  for (var i = 0; i < times.length; ++i) {
    var t = Number(times[i].getAttribute('data-time'));
    if (t > 0) times[i].textContent = ago(now - t) + ' ago';
  }
  setTimeout(function () { location.reload(); }, 5000);
})();
)";

} // namespace

QString html_escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QString status_page_html(const WatcherState &state)
{
    const QDateTime &now = state.heartbeat;
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta "
                                  "charset=\"utf-8\"><title>nowplaying-watch</title>"
                                  "<meta name=\"viewport\" content=\"width=device-width\">"
                                  "<style>%1</style></head>\n")
                       .arg(QLatin1String(style));
    html += QStringLiteral("<body data-heartbeat=\"%1\" data-state=\"%2\">\n")
                .arg(ms(state.heartbeat),
                     state.running ? QStringLiteral("running") : QStringLiteral("stopped"));
    html +=
        QStringLiteral("<h1>nowplaying-watch %1</h1>\n<p id=\"banner\" class=\"%2\">%3</p>\n")
            .arg(shown(state.version),
                 state.running ? QStringLiteral("up") : QStringLiteral("down"),
                 state.running ? QStringLiteral("Heartbeat at %1.").arg(when(state.heartbeat, now))
                               : QStringLiteral("The watcher is not running: it stopped at %1.")
                                     .arg(when(state.stopped, now)));
    for (const StationState &station : state.stations)
        html += station_block(station, now);
    QString code = QLatin1String(script);
    code.replace(QLatin1String("DEAD_AFTER_MS"), QString::number(deadAfterMs));
    html += QStringLiteral("<script>%1</script>\n</body></html>\n").arg(code);
    return html;
}
