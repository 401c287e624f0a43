// SPDX-License-Identifier: MIT
#include "input_file.h"

#include "file_sharing.h"
#include "paths.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int readChunk = 64 * 1024;

// Opens `path` for reading, refusing what cannot be read as a file.
bool open_input(QFile &file, const QString &path)
{
    if (!usable_path(path))
        return false;
#ifdef Q_OS_WIN
    // Every sharing mode, deletion too: reading the document must never keep
    // the playout program from writing, replacing or deleting it. (Qt's own
    // open shares reading and writing only.)
    return open_existing_shared(file, path, false,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
#else
    // Without O_NONBLOCK, opening a FIFO would itself wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ||
        S_ISDIR(info.st_mode) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#endif
}

} // namespace

bool can_open_input(const QString &path)
{
    QFile file;
    return open_input(file, path);
}

bool read_input_chunks(const QString &path, const ExpectSize &expect, const ConsumeChunk &consume)
{
    QFile file;
    if (!open_input(file, path))
        return false;
    // A regular file's size can be trusted to refuse it early; devices
    // report 0, so the bound is kept while reading as well.
    if (!file.isSequential() && file.size() > maxInputBytes)
        return false;
    expect(file.isSequential() ? 0 : file.size());
    char chunk[readChunk];
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        total += got;
        if (total > maxInputBytes)
            return false;
        consume(chunk, int(got));
    }
    file.close();
    return true;
}

std::optional<QByteArray> read_file_bytes(const QString &path)
{
    QByteArray bytes;
    const auto expect = [&bytes](qint64 size) { bytes.reserve(int(size)); };
    if (!read_input_chunks(path, expect,
                           [&](const char *chunk, int size) { bytes.append(chunk, size); }))
        return std::nullopt;
    return bytes;
}

QByteArray first_bytes(const QString &path, qint64 limit)
{
    QFile file;
    if (!open_input(file, path))
        return QByteArray();
    return file.read(limit);
}
