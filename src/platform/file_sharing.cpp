// SPDX-License-Identifier: MIT
#include "file_sharing.h"

#include "paths.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#ifdef Q_OS_WIN
namespace {

// The existing `path`, opened by its name as it stands, allowing others
// `sharing`.
HANDLE open_existing(const QString &path, bool forWriting, DWORD sharing)
{
    return CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                       forWriting ? GENERIC_WRITE : GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace
#endif

bool held_by_another_program(const QString &path, bool forWriting)
{
#ifdef Q_OS_WIN
    if (!usable_path(path))
        return false;
    // Every sharing mode of our own: only the other program's can refuse us.
    const HANDLE handle =
        open_existing(path, forWriting, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
#else
    Q_UNUSED(path)
    Q_UNUSED(forWriting)
    return false;
#endif
}

#ifdef Q_OS_WIN
bool open_existing_shared(QFile &file, const QString &path, bool forWriting, unsigned long sharing)
{
    const HANDLE handle = open_existing(path, forWriting, sharing);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const int fd =
        _open_osfhandle(intptr_t(handle), (forWriting ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return false;
    }
    // The descriptor, and with it the handle, is the file's to close.
    if (!file.open(fd, forWriting ? QIODevice::WriteOnly : QIODevice::ReadOnly,
                   QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return false;
    }
    return true;
}
#endif
