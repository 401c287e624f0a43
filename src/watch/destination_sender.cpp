// SPDX-License-Identifier: MIT
#include "destination_sender.h"

#include "log_line.h"

#include <QDateTime>

namespace {

constexpr int firstPauseMs = 1000;
constexpr int longestPauseMs = 60000;

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

DestinationSender::DestinationSender(const Destination &destination, QNetworkAccessManager &network,
                                     bool errorsOnly, QObject *parent)
    : QObject(parent), destination_(destination), attempt_(network), errorsOnly_(errorsOnly)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &DestinationSender::send_pending);
    connect(&every_, &QTimer::timeout, this, [this]() {
        // Some encoders forget their text: the last one again, unless a
        // newer one is on its way.
        if (!attempt_.running() && !retry_.isActive() && !pending_ && !deliveredKey_.isEmpty()) {
            pending_ = delivered_;
            send_pending();
        }
    });
    connect(&attempt_, &SendAttempt::finished, this, &DestinationSender::attempt_finished);
}

// What tells two texts apart for this destination: what it is sent, but
// for a web hook (which also gets the time) all four texts.
QString DestinationSender::key_of(const OnAirText &onAir) const
{
    if (destination_.kind == DestinationKind::WebHook)
        return QStringList{onAir.artist, onAir.title, onAir.meta, onAir.rds}.join(
            QLatin1Char('\n'));
    return sent_text(destination_, onAir).text;
}

void DestinationSender::offer(const OnAirText &onAir)
{
    const QString key = key_of(onAir);
    const bool nothing = destination_.kind != DestinationKind::WebHook && key.isEmpty();
    const bool alreadyThere = key == (attempt_.running() ? key_of(inFlight_) : deliveredKey_);
    if (nothing || (alreadyThere && !retry_.isActive())) {
        // Neither artist nor title, or what the destination has (or is
        // being sent) already: a newer text waiting is void.
        pending_.reset();
        return;
    }
    pending_ = onAir;
    if (!attempt_.running() && !retry_.isActive())
        send_pending();
}

void DestinationSender::wind_down()
{
    retry_.stop();
    every_.stop();
    pending_.reset();
}

void DestinationSender::send_pending()
{
    if (!pending_ || attempt_.running())
        return;
    inFlight_ = *pending_;
    pending_.reset();
    const SendRequest request =
        send_request(destination_, sent_text(destination_, inFlight_), inFlight_);
    inFlightShown_ = request.shown;
    attempt_.start(destination_, request);
}

void DestinationSender::attempt_finished(const Verdict &verdict)
{
    const QString what = quoted(inFlightShown_);
    if (verdict.delivered) {
        if (failures_ > 0)
            log(QStringLiteral("back: sent %1 after %2 failed attempts").arg(what).arg(failures_));
        else if (!errorsOnly_)
            log(QStringLiteral("sent %1").arg(what));
        failures_ = 0;
        pauseMs_ = 0;
        delivered_ = inFlight_;
        deliveredKey_ = key_of(inFlight_);
        if (destination_.everyMs > 0)
            every_.start(destination_.everyMs);
        if (pending_ && key_of(*pending_) == deliveredKey_)
            pending_.reset();
        send_pending();
    } else {
        pauseMs_ = pauseMs_ == 0 ? firstPauseMs : qMin(2 * pauseMs_, longestPauseMs);
        if (failures_++ == 0)
            log(QStringLiteral("not delivered %1: %2; trying again in %3 s, and logging only when "
                               "it is back")
                    .arg(what, verdict.answer)
                    .arg(pauseMs_ / 1000));
        // Tried again, unless a newer text has come meanwhile.
        if (!pending_)
            pending_ = inFlight_;
        retry_.start(pauseMs_);
    }
    emit attemptEnded();
}

void DestinationSender::log(const QString &line) const
{
    log_line(stamped(QDateTime::currentDateTime(), destination_.tag + QLatin1Char(' ') +
                                                       shown_url(destination_) +
                                                       QStringLiteral(": ") + line));
}
