// SPDX-License-Identifier: MIT
#include "sending.h"

#include <QEventLoop>
#include <QTimer>

Sending::Sending(bool errorsOnly, LogSink log, StatusSink status, QObject *parent)
    : QObject(parent), errorsOnly_(errorsOnly), log_(std::move(log)), status_(std::move(status))
{
}

void Sending::offer(const std::vector<Destination> &destinations, const OnAirText &onAir)
{
    std::map<QString, std::unique_ptr<DestinationSender>> kept;
    for (const Destination &destination : destinations) {
        if (!destination.error.isEmpty()) {
            const QString line = destination.tag + QLatin1Char(' ') + shown_url(destination) +
                                 QStringLiteral(": not used: ") + destination.error;
            if (!unusable_.contains(line)) {
                unusable_ << line;
                log_(line);
            }
            continue;
        }
        auto found = senders_.find(destination.tag);
        if (found != senders_.end() && found->second->destination().url == destination.url) {
            kept[destination.tag] = std::move(found->second);
        } else {
            // A sender still sending to an old URL finishes on its own.
            if (found != senders_.end()) {
                DestinationSender *old = found->second.release();
                old->wind_down();
                old->setParent(this);
                if (old->sending())
                    connect(old, &DestinationSender::attemptEnded, old, &QObject::deleteLater);
                else
                    old->deleteLater();
            }
            kept[destination.tag] =
                std::make_unique<DestinationSender>(destination, errorsOnly_, log_, status_);
        }
    }
    senders_ = std::move(kept);
    for (auto &sender : senders_)
        sender.second->offer(onAir);
}

void Sending::finish()
{
    int longest = 0;
    for (auto &sender : senders_) {
        sender.second->wind_down();
        if (sender.second->sending())
            longest = qMax(longest, sender.second->destination().timeoutMs);
    }
    if (longest == 0)
        return;
    QEventLoop loop;
    // Each attempt ends at its own deadline, and says so in the log; this
    // is only the bound should one not.
    QTimer::singleShot(longest + 500, &loop, &QEventLoop::quit);
    const auto check = [this, &loop]() {
        for (auto &sender : senders_)
            if (sender.second->sending())
                return;
        loop.quit();
    };
    for (auto &sender : senders_)
        connect(sender.second.get(), &DestinationSender::attemptEnded, &loop, check);
    loop.exec();
}
