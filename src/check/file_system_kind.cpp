// SPDX-License-Identifier: MIT
#include "file_system_kind.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(Q_OS_LINUX)
#include <sys/vfs.h>
#endif

QString network_file_system(const QString &path)
{
#ifdef Q_OS_WIN
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("network share");
    const QString root = native.left(3); // "C:\"
    return GetDriveTypeW(reinterpret_cast<const wchar_t *>(root.utf16())) == DRIVE_REMOTE
               ? QStringLiteral("network drive")
               : QString();
#elif defined(Q_OS_LINUX)
    struct statfs info;
    if (statfs(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    const struct {
        unsigned long magic;
        const char *name;
    } kinds[] = {{0x6969, "nfs"},        {0x517B, "smb"},      {0xFF534D42, "cifs"},
                 {0xFE534D42, "smb2"},   {0x73757245, "coda"}, {0x5346414F, "afs"},
                 {0x65735546, "fuse"},   {0x01021997, "9p"},   {0x47504653, "gpfs"},
                 {0x0BD00BD0, "lustre"}, {0x00C36400, "ceph"}};
    for (const auto &kind : kinds)
        if ((unsigned long)(info.f_type) == kind.magic)
            return QLatin1String(kind.name);
    return QString();
#else
    Q_UNUSED(path)
    return QString();
#endif
}
