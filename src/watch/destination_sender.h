// SPDX-License-Identifier: MIT
#pragma once

#include "send_attempt.h"

#include <QObject>
#include <QTimer>

#include <optional>

// Carries the text of each pass to one destination, on its own: a
// destination that is down, slow or hanging holds up nothing else. Only the
// newest text waits to be sent (a text replaced before it could be sent is
// never sent), the same text is not sent twice in a row unless every= asks
// for it again, and a failed send is tried again after a pause growing from
// 1 s to 60 s. Logs one line per send, and for a destination that keeps
// failing one line when it starts failing and one when it is back.
class DestinationSender : public QObject {
    Q_OBJECT
public:
    DestinationSender(const Destination &destination, QNetworkAccessManager &network,
                      bool errorsOnly, QObject *parent = nullptr);

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
    void send_pending();
    void attempt_finished(const Verdict &verdict);
    void log(const QString &line) const;

    Destination destination_;
    SendAttempt attempt_;
    bool errorsOnly_;
    std::optional<OnAirText> pending_; // the newest text not yet sent
    OnAirText inFlight_;
    QString inFlightShown_; // what its log lines say was sent
    OnAirText delivered_;   // the last text the destination took
    QString deliveredKey_;  // and what it was sent as; empty before the first
    QTimer retry_;
    int pauseMs_ = 0;
    QTimer every_;
    int failures_ = 0; // failed attempts since the last delivery
};
