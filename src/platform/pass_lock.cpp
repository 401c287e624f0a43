// SPDX-License-Identifier: MIT
#include "pass_lock.h"

#include "input_file.h"
#include "paths.h"
#include "stop_request.h"

#include <QFile>

#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr std::chrono::milliseconds retryEvery(2);

#ifdef Q_OS_WIN

qintptr open_for_locking(const QString &path)
{
    // Every sharing mode: the lock must not keep anyone from reading or
    // saving the settings.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? -1 : qintptr(handle);
}

// Windows locks are mandatory for the bytes they cover: the lock covers one
// byte far past the end of the file, which no reader ever reaches.
OVERLAPPED far_byte()
{
    OVERLAPPED at = {};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

// 1 locked, 0 held by another, -1 locking is not possible here.
int try_lock(qintptr handle)
{
    OVERLAPPED at = far_byte();
    if (LockFileEx(HANDLE(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &at))
        return 1;
    return GetLastError() == ERROR_LOCK_VIOLATION ? 0 : -1;
}

void release(qintptr handle, bool held)
{
    if (held) {
        OVERLAPPED at = far_byte();
        UnlockFileEx(HANDLE(handle), 0, 1, 0, &at);
    }
    CloseHandle(HANDLE(handle));
}

#else

qintptr open_for_locking(const QString &path)
{
    // O_NONBLOCK: a FIFO in place of the settings must not stop us here.
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

int try_lock(qintptr handle)
{
    if (flock(int(handle), LOCK_EX | LOCK_NB) == 0)
        return 1;
    return errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

void release(qintptr handle, bool)
{
    ::close(int(handle)); // releases the lock
}

#endif

} // namespace

PassLock::PassLock(const QString &path, std::chrono::milliseconds wait)
{
    if (!usable_path(path))
        return;
    handle_ = open_for_locking(path);
    if (handle_ == -1)
        return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const int locked = try_lock(handle_);
        held_ = locked == 1;
        if (locked != 0 || std::chrono::steady_clock::now() >= deadline || interruption_requested())
            return;
        std::this_thread::sleep_for(retryEvery);
    }
}

PassLock::~PassLock()
{
    if (handle_ != -1)
        release(handle_, held_);
}

bool PassLock::held() const
{
    return held_;
}

std::optional<QByteArray> PassLock::read_all() const
{
    if (handle_ == -1)
        return std::nullopt;
#ifdef Q_OS_WIN
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(HANDLE(handle_), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const qint64 size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
#else
    struct stat info;
    if (fstat(int(handle_), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const qint64 size = info.st_size;
#endif
    if (size > maxInputBytes)
        return std::nullopt;
    QByteArray bytes(int(size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
#ifdef Q_OS_WIN
        OVERLAPPED at = {};
        at.Offset = DWORD(done);
        DWORD got = 0;
        if (!ReadFile(HANDLE(handle_), bytes.data() + done, DWORD(size - done), &got, &at) ||
            got == 0)
            break;
#else
        const ssize_t got = pread(int(handle_), bytes.data() + done, size_t(size - done), done);
        if (got <= 0)
            break;
#endif
        done += qint64(got);
    }
    // A file that shrank while it was read is taken as it ends now.
    bytes.truncate(int(done));
    return bytes;
}
