// SPDX-License-Identifier: MIT
// What the benchmark programs share: reading a file whole, replacing a
// document as playout programs do, and the percentiles they report.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

#include <algorithm>
#include <vector>

namespace bench {

// PATH's bytes, or empty when it cannot be read (not there yet, mid-rename).
inline QByteArray read_file(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes BYTES beside PATH and renames them over it, so a reader sees the
// old document or the new one, never a part.
inline void replace_file(const QString &path, const QByteArray &bytes)
{
    const QString beside = path + QStringLiteral(".new");
    QFile file(beside);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return;
    file.close();
    std::rename(QFile::encodeName(beside).constData(), QFile::encodeName(path).constData());
}

struct Percentiles {
    double p50 = 0, p95 = 0;
};

// The nearest-rank p50 and p95 of VALUES; zeros when there are none.
inline Percentiles percentiles(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[size_t(q * double(values.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.95)};
}

} // namespace bench
