// SPDX-License-Identifier: MIT
#include "send_once.h"

#include "send_attempt.h"

#include <QEventLoop>

#include <memory>

std::vector<Verdict> send_each_once(const std::vector<OneSend> &sends)
{
    std::vector<Verdict> verdicts(sends.size());
    if (sends.empty())
        return verdicts;
    std::vector<std::unique_ptr<SendAttempt>> attempts;
    QEventLoop loop;
    size_t running = sends.size();
    for (size_t i = 0; i < sends.size(); ++i) {
        attempts.push_back(std::make_unique<SendAttempt>());
        QObject::connect(attempts.back().get(), &SendAttempt::finished, &loop,
                         [&, i](const Verdict &verdict) {
                             verdicts[i] = verdict;
                             if (--running == 0)
                                 loop.quit();
                         });
    }
    for (size_t i = 0; i < sends.size(); ++i)
        attempts[i]->start(sends[i].destination, sends[i].request);
    if (running > 0)
        loop.exec();
    return verdicts;
}
