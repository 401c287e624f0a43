// SPDX-License-Identifier: MIT
#include "station.h"

#include <QMetaObject>

Station::Station(const WatchOptions &options) : options_(options), anchor_(new QObject)
{
    anchor_->moveToThread(&thread_);
}

void Station::start()
{
    thread_.start();
    QMetaObject::invokeMethod(anchor_.get(), [this]() {
        watcher_ = new Watcher(options_);
        watcher_->start();
    });
}

void Station::knock()
{
    QMetaObject::invokeMethod(anchor_.get(),
                              [this, clock = options_.clock]() { answered_.store(clock()); });
}

void Station::finish()
{
    if (!thread_.isRunning() || finishing_)
        return;
    finishing_ = true;
    QMetaObject::invokeMethod(anchor_.get(), [this]() {
        if (watcher_)
            watcher_->finish_sending();
        delete watcher_;
        watcher_ = nullptr;
        anchor_->moveToThread(nullptr);
        thread_.quit();
    });
}

Station::~Station()
{
    finish();
    thread_.wait();
}
