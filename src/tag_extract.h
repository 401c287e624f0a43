#pragma once

#include <QString>

// The value between the first "<tag>" and the first "</tag>" after it, taken
// verbatim (no trimming, no entity decoding, case-sensitive). An absent
// value is the empty string; there is no failure.
QString extract(QString str, QString tag);
