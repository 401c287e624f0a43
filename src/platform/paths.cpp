// SPDX-License-Identifier: MIT
#include "paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_WIN

struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool identity_of(const QString &path, Identity &identity)
{
    // No access rights beyond attributes, every sharing mode: examining a
    // file must not disturb a playout program that has it open.
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return known;
}

bool operator==(const Identity &a, const Identity &b)
{
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

#else

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
};

bool identity_of(const QString &path, Identity &identity)
{
    struct stat info;
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    identity = {info.st_dev, info.st_ino};
    return true;
}

bool operator==(const Identity &a, const Identity &b)
{
    return a.device == b.device && a.inode == b.inode;
}

#endif

} // namespace

bool on_windows()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool usable_path(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

bool file_name_too_long(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
#ifdef Q_OS_WIN
    return name.size() > 255;
#else
    return QFile::encodeName(name).size() > 255;
#endif
}

bool is_fifo_or_socket(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return false; // Windows has no such files on its file systems
#else
    struct stat info;
    return usable_path(path) && stat(QFile::encodeName(path).constData(), &info) == 0 &&
           (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
#endif
}

FileIdentity file_identity(const QString &path)
{
    Identity identity;
    if (!usable_path(path) || !identity_of(path, identity))
        return {};
#ifdef Q_OS_WIN
    return {true, identity.volume, (quint64(identity.indexHigh) << 32) | identity.indexLow};
#else
    return {true, quint64(identity.device), quint64(identity.inode)};
#endif
}

bool same_identity(const FileIdentity &a, const FileIdentity &b)
{
    return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

bool one_file(const QString &a, const QString &b)
{
    return (usable_path(a) && usable_path(b) && spelled_path(a) == spelled_path(b)) ||
           same_file(a, b);
}

QString spelled_path(const QString &path)
{
    const QString spelled = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return on_windows() ? spelled.toCaseFolded() : spelled;
}

bool same_file(const QString &a, const QString &b)
{
    if (!usable_path(a) || !usable_path(b))
        return false;
    Identity first, second;
    return identity_of(a, first) && identity_of(b, second) && first == second;
}

bool is_windows_device_path(const QString &path)
{
    QString native = path;
    native.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (native.startsWith(QLatin1String("\\\\.\\")))
        return true;
    QString name = native.mid(native.lastIndexOf(QLatin1Char('\\')) + 1);
    name = name.left(name.indexOf(QLatin1Char('.'))).left(name.indexOf(QLatin1Char(':')));
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    name = name.toUpper();
    static const QStringList reserved = {QStringLiteral("NUL"), QStringLiteral("CON"),
                                         QStringLiteral("PRN"), QStringLiteral("AUX")};
    if (reserved.contains(name))
        return true;
    return name.size() == 4 &&
           (name.startsWith(QLatin1String("COM")) || name.startsWith(QLatin1String("LPT"))) &&
           name.at(3) >= QLatin1Char('1') && name.at(3) <= QLatin1Char('9');
}

bool is_device_name(const QString &path)
{
    return on_windows() && is_windows_device_path(path);
}

bool file_names_may_hold_quotes()
{
    return !on_windows();
}

QString folder_argument(QString folder)
{
    if (on_windows() && folder.endsWith(QLatin1Char('"')))
        folder.chop(1);
    return folder;
}
