// SPDX-License-Identifier: MIT
#include "file_stamp.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

bool operator==(const FileStamp &a, const FileStamp &b)
{
    return a.exists == b.exists && a.size == b.size && a.modified == b.modified &&
           a.fileNumber == b.fileNumber;
}

bool operator!=(const FileStamp &a, const FileStamp &b)
{
    return !(a == b);
}

FileStamp stamp_of(const QString &path)
{
#ifdef Q_OS_LINUX
    struct stat info;
    if (path.isEmpty() || stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec),
            quint64(info.st_ino)};
#else
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return {};
    return {true, info.size(), info.lastModified().toMSecsSinceEpoch(), 0};
#endif
}
