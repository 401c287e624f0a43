// SPDX-License-Identifier: MIT
#include "notification_limits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_LINUX

namespace {

long read_limit(const char *name)
{
    QFile file(QStringLiteral("/proc/sys/fs/inotify/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLong() : -1;
}

} // namespace

NotificationUse notification_use()
{
    NotificationUse use;
    use.maxInstances = read_limit("max_user_instances");
    use.maxWatches = read_limit("max_user_watches");
    use.instances = 0;
    use.watches = 0;
    const uid_t user = getuid();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : processes) {
        bool number = false;
        pid.toLong(&number);
        struct stat owner;
        const QString dir = QStringLiteral("/proc/") + pid;
        if (!number || stat(QFile::encodeName(dir).constData(), &owner) != 0 ||
            owner.st_uid != user)
            continue;
        const QDir fds(dir + QStringLiteral("/fd"));
        for (const QFileInfo &fd :
             fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            char target[64] = {};
            const ssize_t length =
                readlink(QFile::encodeName(fd.filePath()).constData(), target, sizeof target - 1);
            if (length <= 0 || QByteArray(target, int(length)) != "anon_inode:inotify")
                continue;
            ++use.instances;
            QFile info(dir + QStringLiteral("/fdinfo/") + fd.fileName());
            if (info.open(QIODevice::ReadOnly))
                use.watches += info.readAll().count("inotify wd:");
        }
    }
    return use;
}

#else

NotificationUse notification_use()
{
    return {};
}

#endif
