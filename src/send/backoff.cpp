// SPDX-License-Identifier: MIT
#include "backoff.h"

#include <QtGlobal>

Backoff::Backoff(int firstMs, int longestMs) : firstMs_(firstMs), longestMs_(longestMs)
{
}

int Backoff::next()
{
    currentMs_ = currentMs_ == 0 ? firstMs_ : qMin(2 * currentMs_, longestMs_);
    return currentMs_;
}

void Backoff::reset()
{
    currentMs_ = 0;
}
