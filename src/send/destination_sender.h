// SPDX-License-Identifier: MIT
#pragma once

#include "clock.h"
#include "delivery.h"
#include "destination_status.h"
#include "log_sink.h"
#include "send_attempt.h"
#include "windows_service.h"

#include <QObject>
#include <QTimer>

#include <optional>

// Carries the text of each pass to one destination, on its own: a
// destination that is down, slow or hanging holds up nothing else. What is
// sent and when follows Delivery's rules, timed by one timer on `clock`.
// Logs one line per send, and for a destination that keeps failing one line
// when it starts failing and one when it is back.
class DestinationSender : public QObject {
    Q_OBJECT
public:
    DestinationSender(const Destination &destination, bool errorsOnly, LogSink log,
                      StatusSink status = nullptr, SteadyClock clock = system_steady_clock(),
                      QObject *parent = nullptr);

    const Destination &destination() const
    {
        return destination_;
    }

    // The text of a pass that wrote its files.
    void offer(const OnAirText &onAir);

    // No more retries or resends; what is in flight goes on until it ends.
    void wind_down();
    bool sending() const
    {
        return attempt_.running();
    }

signals:
    // A send ended (delivered or not).
    void attemptEnded();

private:
    QString key_of(const OnAirText &onAir) const;
    void pump();
    void page_programme_service(SendRequest &request, const SentText &sent, bool repeat);
    void attempt_finished(const Verdict &verdict);
    void log(const QString &line, std::optional<EventLevel> event = std::nullopt) const;
    void report();

    Destination destination_;
    SendAttempt attempt_;
    bool errorsOnly_;
    LogSink log_;
    SteadyClock clock_;
    Delivery delivery_;
    QTimer wake_;            // when Delivery next has something to send
    QString inFlightShown_;  // what the log lines of the send in flight say was sent
    QDateTime inFlightPass_; // when the pass of the text in flight was made
    StatusSink statusSink_;
    DestinationStatus status_;
    bool reported_ = false;
    int psPage_ = 0; // the page of the programme service name last sent // the first status is
                     // reported whatever it is
};
