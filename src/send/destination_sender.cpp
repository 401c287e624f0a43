// SPDX-License-Identifier: MIT
#include "destination_sender.h"

#include "sent_text.h"
#include "windows_service.h"

#include <QCryptographicHash>
#include <QStringList>

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

DestinationSender::DestinationSender(const Destination &destination, bool errorsOnly, LogSink log,
                                     StatusSink status, SteadyClock clock, QObject *parent)
    : QObject(parent), destination_(destination), attempt_(true), errorsOnly_(errorsOnly),
      log_(std::move(log)), clock_(std::move(clock)),
      // Paging the programme service name is sending the text's next page
      // this often.
      delivery_({destination.ps.paging ? destination.ps.pageMs : destination.everyMs,
                 destination.delayMs, destination.minIntervalMs,
                 destination.kind == DestinationKind::RdsTcp,
                 // A broker is cheap to try, and sites wait on it.
                 destination.kind == DestinationKind::Mqtt ? 2000 : Delivery::longestPauseMs}),
      statusSink_(std::move(status))
{
    status_.tag = destination.tag;
    status_.shown = shown_url(destination);
    status_.since = QDateTime::currentDateTime();
    wake_.setSingleShot(true);
    // A retry pause of a second must not come 50 ms early or late.
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &DestinationSender::pump);
    connect(&attempt_, &SendAttempt::finished, this, &DestinationSender::attempt_finished);
    connect(&attempt_, &SendAttempt::connectionLost, this, [this]() {
        delivery_.offer_again();
        pump();
    });
}

// What tells two texts apart for this destination: what it is sent, but
// for a web hook (which also gets the time) all four texts and its own.
QString DestinationSender::key_of(const OnAirText &onAir) const
{
    const QString sent = sent_text(destination_, onAir).text;
    if (gets_whole_now_playing(destination_))
        return QStringList{onAir.artist, onAir.title, onAir.meta, onAir.rds, sent}.join(
            QLatin1Char('\n'));
    return sent;
}

void DestinationSender::offer(const OnAirText &onAir)
{
    const QString key = key_of(onAir);
    // One id for every try of this text, so that a receiver that answered
    // too late can drop the repeat.
    const QByteArray id =
        QCryptographicHash::hash((onAir.time.toString(Qt::ISODateWithMs) + key).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(20);
    delivery_.offer({onAir, key, QString::fromLatin1(id), false}, clock_());
    pump();
}

// The page of the programme service name that is due: the first with a new
// text (before its RadioText), the next with each repeat (alone, so that
// RadioText is not sent again and receivers keep it). Between songs the
// static name when there is one, else the idle text's pages.
void DestinationSender::page_programme_service(SendRequest &request, const SentText &sent,
                                               bool repeat)
{
    const QStringList pages = ps_pages_of(sent);
    if (pages.isEmpty())
        return;
    psPage_ = repeat ? (psPage_ + 1) % int(pages.size()) : 0;
    const QByteArray command = ps_command(destination_, pages.at(psPage_));
    if (repeat)
        request.commands = {command};
    else
        request.commands.prepend(command);
}

void DestinationSender::wind_down()
{
    delivery_.wind_down();
    wake_.stop();
}

// Starts what is due, and sets the timer for what is due next.
void DestinationSender::pump()
{
    const qint64 now = clock_();
    if (!attempt_.running()) {
        if (const std::optional<Delivery::Item> item = delivery_.take(now)) {
            const SentText sent = sent_text(destination_, item->text);
            SendRequest request = send_request(destination_, sent, item->text, item->id);
            if (destination_.ps.paging)
                page_programme_service(request, sent, item->repeat);
            inFlightShown_ = request.shown;
            inFlightPass_ = item->repeat ? QDateTime() : item->text.time;
            attempt_.start(destination_, request);
        }
    }
    const std::optional<qint64> due = delivery_.next_due(now);
    if (due)
        wake_.start(int(qBound(qint64(0), *due - now, qint64(24 * 3600 * 1000))));
    else
        wake_.stop();
    report();
}

// The status as Delivery's rules leave it, reported when it changed.
void DestinationSender::report()
{
    const QString state = delivery_.failures() > 0                     ? QStringLiteral("failing")
                          : delivery_.delayed() > 0                    ? QStringLiteral("delayed")
                          : delivery_.waiting() && !attempt_.running() ? QStringLiteral("waiting")
                                                                       : QStringLiteral("ok");
    if (state == status_.state && reported_)
        return;
    reported_ = true;
    status_.state = state;
    status_.since = QDateTime::currentDateTime();
    if (statusSink_)
        statusSink_(status_);
}

void DestinationSender::attempt_finished(const Verdict &verdict)
{
    const QString what = quoted(inFlightShown_);
    const Delivery::Finished ended =
        delivery_.finished(verdict.delivered, clock_(), verdict.passwordRefused);
    ++status_.sends;
    status_.latencyMs = -1;
    if (verdict.delivered) {
        status_.lastDelivered = inFlightShown_;
        status_.lastDeliveredAt = QDateTime::currentDateTime();
        if (inFlightPass_.isValid())
            status_.latencyMs = int(qBound(
                qint64(0), inFlightPass_.msecsTo(status_.lastDeliveredAt), qint64(86400000)));
    } else {
        ++status_.failures;
        status_.lastError = verdict.answer;
    }
    if (statusSink_)
        statusSink_(status_); // the counts, whether or not the state changes
    status_.latencyMs = -1;
    if (ended.delivered) {
        if (ended.failuresBefore > 0)
            log(QStringLiteral("back: sent %1 after %2 failed attempts")
                    .arg(what, QString::number(ended.failuresBefore)),
                EventLevel::Information);
        else if (!errorsOnly_ && !ended.repeat)
            log(QStringLiteral("sent %1").arg(what));
    } else if (ended.failuresBefore == 0) {
        // A text the destination took before, sent again (every=, or after
        // an MQTT connection was lost), is no text that failed.
        const bool taken = ended.repeat && inFlightShown_ == status_.lastDelivered;
        log(QStringLiteral("%1: %2; trying again in %3 s, and logging only when it is back")
                .arg(taken ? QStringLiteral("%1 was taken; sending it again failed").arg(what)
                           : QStringLiteral("not delivered %1").arg(what),
                     verdict.answer, QString::number(ended.pauseMs / 1000.0)),
            EventLevel::Warning);
    }
    pump();
    emit attemptEnded();
}

void DestinationSender::log(const QString &line, std::optional<EventLevel> event) const
{
    const QString full =
        destination_.tag + QLatin1Char(' ') + shown_url(destination_) + QStringLiteral(": ") + line;
    log_(full);
    // A destination that starts failing, and comes back: the system's log
    // has both, once a streak.
    if (event)
        report_event(*event, full);
}
