// SPDX-License-Identifier: MIT
#include "station_names.h"

#include <QDir>

#include <QVector>

namespace {

// The last `count` parts of a path, joined.
QString last_parts(const QStringList &parts, int count)
{
    return parts.mid(qMax(0, int(parts.size()) - count)).join(QLatin1Char('/'));
}

} // namespace

QStringList station_names(const QStringList &folders)
{
    QVector<QStringList> parts;
    for (const QString &folder : folders)
        parts << QDir::cleanPath(QDir::fromNativeSeparators(folder))
                     .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList names;
    for (int i = 0; i < parts.size(); ++i) {
        QString name;
        for (int count = 1; count <= parts[i].size() && name.isEmpty(); ++count) {
            const QString candidate = last_parts(parts[i], count);
            bool unique = true;
            for (int j = 0; j < parts.size() && unique; ++j)
                unique = j == i || last_parts(parts[j], count) != candidate;
            if (unique)
                name = candidate;
        }
        names << QDir::toNativeSeparators(name.isEmpty() ? folders[i] : name);
    }
    return names;
}
