// SPDX-License-Identifier: MIT
#include "output_file.h"

#include "file_sharing.h"
#include "link_guard.h"
#include "paths.h"
#include "stop_request.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A new file that holds every byte; removed, with nothing else touched, when
// a write or the close fails. The close is checked as well: a file system
// may only report a full disk there.
WriteResult fill_and_close(QFile &file, const OutputFill &fill)
{
    const bool filled = fill(file) && file.flush();
    QString reason = file.errorString();
    file.close();
    if (filled && file.error() == QFileDevice::NoError)
        return {};
    if (filled)
        reason = file.errorString();
    return {WriteStatus::NotWritten, reason};
}

// What the system said of the last call that failed.
QString system_reason()
{
    return qt_error_string();
}

#ifdef Q_OS_WIN

QString replacement_target(const QString &path)
{
    return path;
}

// Windows refuses to replace a file that another program has open: such an
// output, like a device, is written in place instead.
std::optional<WriteResult> write_beside(const QString &target, const OutputFill &fill)
{
    if (is_device_name(target))
        return std::nullopt;
    const QFileInfo info(target);
    if (info.exists() && (!info.isFile() || info.isSymLink()))
        return std::nullopt;
    const QString fresh = replacement_path(target);
    QFile::remove(fresh);
    QFile file(fresh);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return std::nullopt;
    const WriteResult filled = fill_and_close(file, fill);
    if (filled.status != WriteStatus::Written) {
        QFile::remove(fresh);
        return filled;
    }
    // A feeder that polls the output holds it open for moments at a time:
    // the rename is tried again for a little while before the output is
    // written in place.
    QElapsedTimer trying;
    trying.start();
    while (!MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(fresh).utf16()),
                        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
                        MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || trying.elapsed() >= heldRenameRetryMs) {
            QFile::remove(fresh);
            return std::nullopt;
        }
        QThread::msleep(10);
    }
    return WriteResult{};
}

// Opens the output to be written in place; the system's reason when it
// cannot.
std::optional<QString> open_in_place(QFile &file, const QString &path)
{
    if (!is_device_name(path)) {
        // Not truncated: the new bytes go over the old and the end is set
        // after them, so that a reader never finds the file empty.
        file.setFileName(path);
        if (file.open(QIODevice::ReadWrite))
            return std::nullopt;
        return file.errorString();
    }
    // A device is opened by its name as it stands: Qt would make NUL a
    // file name in the working folder.
    if (open_existing_shared(file, path, true, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return std::nullopt;
    return system_reason();
}

#else

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// The file a symbolic link (or a chain of them) ends at; `path` itself when
// it is none. A dangling link names the file it would create.
QString replacement_target(const QString &path)
{
    QString target = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            return target;
        // The link's text, resolved against the link's folder.
        const QString link = info.symLinkTarget();
        if (link.isEmpty())
            return target;
        target = link;
    }
    return target;
}

// The new file, created beside `target` with the mode a new output gets or
// the mode, owner and group of the output it replaces. Nothing when that is
// not possible: the caller then writes in place.
std::optional<WriteResult> write_beside(const QString &target, const OutputFill &fill)
{
    struct stat old;
    const bool exists = lstat(native(target).constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return std::nullopt;
    if (exists && (!S_ISREG(old.st_mode) || old.st_nlink != 1))
        return std::nullopt;

    const QString fresh = replacement_path(target);
    const QByteArray freshName = native(fresh);
    unlink(freshName.constData()); // left by a pass that was killed
    // O_EXCL and O_NOFOLLOW: never write through a link someone put there.
    const int fd =
        ::open(freshName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::nullopt;
    const auto give_up = [&]() {
        ::close(fd);
        unlink(freshName.constData());
        return std::nullopt;
    };
    if (exists) {
        // The owner first: changing it clears set-user-ID bits the mode
        // then puts back.
        if ((old.st_uid != geteuid() || old.st_gid != getegid()) &&
            fchown(fd, old.st_uid, old.st_gid) != 0)
            return give_up();
        if (fchmod(fd, old.st_mode & 07777) != 0)
            return give_up();
    }
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return give_up();
    const WriteResult filled = fill_and_close(file, fill);
    if (filled.status != WriteStatus::Written) {
        unlink(freshName.constData());
        return filled;
    }
    if (rename(freshName.constData(), native(target).constData()) != 0) {
        unlink(freshName.constData());
        return std::nullopt; // a bind mount, say: written in place instead
    }
    return WriteResult{};
}

// Opens without waiting: a FIFO without a reader refuses a non-blocking
// open (ENXIO), and is tried again until a reader comes, the wait runs out
// or an interruption is requested. A serial port does not wait for its
// carrier either.
int open_without_waiting(const QByteArray &name)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != ENXIO || waited.elapsed() >= fifoReaderWaitMs ||
            interruption_requested())
            return fd;
        QThread::msleep(20);
    }
}

// Opens the output to be written in place; the system's reason when it
// cannot.
std::optional<QString> open_in_place(QFile &file, const QString &path)
{
    const int fd = open_without_waiting(native(path));
    if (fd < 0)
        return system_reason();
    // Writes then wait for a slow reader as they always did.
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const QString reason = system_reason();
        ::close(fd);
        return reason;
    }
    return std::nullopt;
}

#endif

} // namespace

QString replacement_path(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() +
                               QLatin1String(".nowplaying-new"));
}

WriteResult write_output(const QString &path, const OutputFill &fill)
{
    if (!usable_path(path))
        return {WriteStatus::NotCreated, QStringLiteral("not a usable path")};
    const QString planted = planted_link(path);
    if (!planted.isEmpty())
        return {WriteStatus::NotCreated, planted};
    if (const std::optional<WriteResult> replaced = write_beside(replacement_target(path), fill))
        return *replaced;
    QFile file;
    if (const std::optional<QString> refused = open_in_place(file, path))
        return {WriteStatus::NotCreated, *refused};
    if (!file.isSequential() && file.openMode().testFlag(QIODevice::ReadOnly)) {
        // Written over in place (Windows): what the old file had past the new
        // bytes goes once they are all there.
        return fill_and_close(file,
                              [&fill](QFile &out) { return fill(out) && out.resize(out.pos()); });
    }
    return fill_and_close(file, fill);
}
