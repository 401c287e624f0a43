// SPDX-License-Identifier: MIT
#include "folder_claim.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

namespace {

// One byte below the pass lock's, which no reader reaches either.
OVERLAPPED claim_byte()
{
    OVERLAPPED at = {};
    at.Offset = 0xFFFFFFFD;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

} // namespace

FolderClaim::FolderClaim(const QString &folder)
{
    const QString settings =
        QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("settings.txt")));
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(settings.utf16()), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    OVERLAPPED at = claim_byte();
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        handle_ = qintptr(handle);
        return;
    }
    taken_ = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(handle);
}

FolderClaim::~FolderClaim()
{
    if (handle_ == -1)
        return;
    OVERLAPPED at = claim_byte();
    UnlockFileEx(HANDLE(handle_), 0, 1, 0, &at);
    CloseHandle(HANDLE(handle_));
}

#else

FolderClaim::FolderClaim(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        handle_ = fd;
        return;
    }
    taken_ = errno == EWOULDBLOCK;
    ::close(fd);
}

FolderClaim::~FolderClaim()
{
    if (handle_ != -1)
        ::close(int(handle_));
}

#endif
