// SPDX-License-Identifier: MIT
#pragma once

#include "destination_sender.h"

#include <QObject>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

// A station's destinations, as its settings name them at each pass: one
// DestinationSender each, kept while its URL stays the same (so that what
// it has already taken is not sent again) and made anew when it changes.
class Sending : public QObject {
    Q_OBJECT
public:
    Sending(bool errorsOnly, LogSink log, StatusSink status = nullptr, QObject *parent = nullptr);

    // Hands the text of a pass that wrote its files to every destination.
    // A destination that cannot be used is logged once, with the reason.
    void offer(const std::vector<Destination> &destinations, const OnAirText &onAir);

    // For shutdown: no more retries; waits for the sends in flight to end
    // at their timeouts (logged as any other), at most the longest of them.
    void finish();

private:
    bool errorsOnly_;
    LogSink log_;
    StatusSink status_;
    std::map<QString, std::unique_ptr<DestinationSender>> senders_; // by tag
    QStringList unusable_; // logged already: tag, URL and reason
};
