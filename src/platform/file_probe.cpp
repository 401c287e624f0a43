// SPDX-License-Identifier: MIT
#include "file_probe.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
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

PathState path_state(const QString &path)
{
    PathState state;
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    state.exists = info.exists();
    state.folder = info.isDir();
    state.writable = info.isWritable();
#else
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    state.exists = ::stat(native.constData(), &st) == 0;
    state.folder = state.exists && S_ISDIR(st.st_mode);
    state.writable =
        state.exists && ::access(native.constData(), state.folder ? W_OK | X_OK : W_OK) == 0;
#endif
    return state;
}

QString written_folder(const QString &path)
{
    int slash = int(path.lastIndexOf(QLatin1Char('/')));
#ifdef Q_OS_WIN
    slash = std::max(slash, int(path.lastIndexOf(QLatin1Char('\\'))));
#endif
    return slash < 0 ? QStringLiteral(".") : path.left(slash + 1);
}

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
#else
    const QStorageInfo storage(path);
    if (!storage.isValid())
        return QString();
    // As the mount table names them: "nfs4", "cifs", "fuse.sshfs", ...
    const QString type = QString::fromLatin1(storage.fileSystemType());
    static const char *const networkKinds[] = {"nfs",  "smb", "cifs", "coda",   "afs",
                                               "fuse", "9p",  "gpfs", "lustre", "ceph"};
    for (const char *kind : networkKinds)
        if (type.startsWith(QLatin1String(kind)))
            return type;
    return QString();
#endif
}

bool readable_by_others(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return false;
#else
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IROTH);
#endif
}
