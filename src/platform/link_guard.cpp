// SPDX-License-Identifier: MIT
#include "link_guard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

QString planted_link(const QString &)
{
    return QString();
}

#else

QString planted_link(const QString &path)
{
    QString current = path;
    // As many links in a row as the system itself follows.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link;
        if (lstat(QFile::encodeName(current).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return QString();
        const QString folder = QFileInfo(current).absolutePath();
        struct stat shared;
        if (stat(QFile::encodeName(folder).constData(), &shared) != 0)
            return QString();
        const bool othersWrite = (shared.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        const QString target = QFileInfo(current).symLinkTarget();
        if (othersWrite) {
            if (link.st_uid != geteuid() && link.st_uid != shared.st_uid)
                return QStringLiteral("%1 is a symbolic link that another user made in a folder "
                                      "others may write to: not followed")
                    .arg(QDir::toNativeSeparators(current));
            struct stat pointed;
            if (stat(QFile::encodeName(current).constData(), &pointed) != 0)
                return QStringLiteral("%1 is a symbolic link to nothing in a folder others may "
                                      "write to: no file is made where it points")
                    .arg(QDir::toNativeSeparators(current));
        }
        if (target.isEmpty())
            return QString();
        current = target;
    }
    return QString();
}

#endif
