// SPDX-License-Identifier: MIT
#pragma once

// The pause before trying again what failed: the first pause, then twice
// the one before, never more than the longest; back to none after a
// success. One rule for every retry the programs make.
class Backoff {
public:
    Backoff(int firstMs, int longestMs);

    // The pause before the next try, counting this failure.
    int next();
    // A success: the next failure starts again at the first pause.
    void reset();
    // The last pause given; 0 when none since the last reset.
    int current() const
    {
        return currentMs_;
    }

private:
    int firstMs_;
    int longestMs_;
    int currentMs_ = 0;
};
