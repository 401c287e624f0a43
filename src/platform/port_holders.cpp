// SPDX-License-Identifier: MIT
#include "port_holders.h"

#include <QMap>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#include <winternl.h>
#else
#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

// How long the checker waits for a look through the system's open files: a
// query about one of them can block for as long as another program's
// transfer on it lasts.
constexpr int lookMs = 3000;

// Programs found so far, by process number, shared between the look and
// whoever waits for it (which may stop waiting first).
struct Found {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    QMap<quint64, QString> programs;
};

void add(Found &found, quint64 process, const QString &program)
{
    const std::lock_guard<std::mutex> guard(found.lock);
    found.programs.insert(process, program);
}

QStringList named(const QMap<quint64, QString> &programs)
{
    QStringList names;
    for (auto it = programs.begin(); it != programs.end(); ++it)
        names
            << (it.value().isEmpty()
                    ? QStringLiteral("process %1").arg(it.key())
                    : QStringLiteral("%1 (process %2)").arg(it.value(), QString::number(it.key())));
    return names;
}

void look_for_holders(const QString &name, Found &found);

} // namespace

QStringList serial_port_holders(const QString &name)
{
    // The look runs on a thread of its own so that one blocked query costs
    // the wait and no more; a look still blocked at exit ends with the
    // process.
    const auto found = std::make_shared<Found>();
    std::thread([name, found]() {
        look_for_holders(name, *found);
        const std::lock_guard<std::mutex> guard(found->lock);
        found->finished = true;
        found->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> guard(found->lock);
    found->done.wait_for(guard, std::chrono::milliseconds(lookMs),
                         [&found]() { return found->finished; });
    return named(found->programs);
}

#ifdef Q_OS_WIN
namespace {

// Every open handle of the system (SystemExtendedHandleInformation), as
// ntdll lays the list out.
struct HandleEntry {
    PVOID object;
    ULONG_PTR process;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};
struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
// FILE_FS_DEVICE_INFORMATION.
struct DeviceInformation {
    ULONG type;
    ULONG characteristics;
};
constexpr ULONG extendedHandleInformation = 64;
constexpr ULONG objectNameInformation = 1;
constexpr ULONG fileFsDeviceInformation = 4;
constexpr LONG lengthMismatch = LONG(0xC0000004);
constexpr ULONG serialPortDevice = 0x1b, modemDevice = 0x2b;

using QuerySystem = LONG(NTAPI *)(ULONG, PVOID, ULONG, PULONG);
using QueryObject = LONG(NTAPI *)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QueryVolume = LONG(NTAPI *)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

template <typename Function> Function from_ntdll(const char *name)
{
    const HMODULE module = GetModuleHandleW(L"ntdll.dll");
    return module ? reinterpret_cast<Function>(
                        reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

struct Closer {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, Closer>;

// The name the object manager gives what `handle` is open on
// (\Device\Serial0).
QString object_name(HANDLE handle, QueryObject query)
{
    alignas(8) char buffer[4096];
    ULONG length = 0;
    if (query(handle, objectNameInformation, buffer, sizeof buffer, &length) != 0)
        return QString();
    const auto *const text = reinterpret_cast<const UNICODE_STRING *>(buffer);
    return text->Buffer ? QString::fromWCharArray(text->Buffer, int(text->Length / 2)) : QString();
}

// The kind of device `handle` is open on (FILE_DEVICE_...), 0 when it is no
// file; asking never waits for a transfer on it.
ULONG device_type(HANDLE handle, QueryVolume query)
{
    IO_STATUS_BLOCK status{};
    DeviceInformation information{};
    return query(handle, &status, &information, sizeof information, fileFsDeviceInformation) == 0
               ? information.type
               : 0;
}

struct Port {
    QString object;
    ULONG device = 0;
};

// What the port is to the object manager: from a handle that asks for no
// access, which a port held by another program still gives where only
// sharing keeps others out, else from what its DOS name links to (the
// driver of a port that admits one program at a time refuses every open).
Port port_object(const QString &name, QueryObject queryObject, QueryVolume queryVolume)
{
    const bool prefixed = name.startsWith(QLatin1String("\\\\.\\"));
    const QString dosName = prefixed ? name.mid(4) : name;
    const Handle handle(
        CreateFileW(reinterpret_cast<const wchar_t *>((QLatin1String("\\\\.\\") + dosName).utf16()),
                    0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr));
    if (handle.get() != INVALID_HANDLE_VALUE) {
        const QString object = object_name(handle.get(), queryObject);
        if (!object.isEmpty())
            return {object, device_type(handle.get(), queryVolume)};
    }
    wchar_t target[1024];
    if (QueryDosDeviceW(reinterpret_cast<const wchar_t *>(dosName.utf16()), target, 1024) == 0)
        return {};
    return {QString::fromWCharArray(target), serialPortDevice};
}

// The program file's name of the process `process`, empty when this user
// may not ask.
QString program_name(DWORD process)
{
    const Handle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!handle)
        return QString();
    wchar_t path[MAX_PATH * 4];
    DWORD length = MAX_PATH * 4;
    if (!QueryFullProcessImageNameW(handle.get(), 0, path, &length))
        return QString();
    const QString full = QString::fromWCharArray(path, int(length));
    return full.mid(full.lastIndexOf(QLatin1Char('\\')) + 1);
}

void look_for_holders(const QString &name, Found &found)
{
    const auto querySystem = from_ntdll<QuerySystem>("NtQuerySystemInformation");
    const auto queryObject = from_ntdll<QueryObject>("NtQueryObject");
    const auto queryVolume = from_ntdll<QueryVolume>("NtQueryVolumeInformationFile");
    if (!querySystem || !queryObject || !queryVolume)
        return;
    const Port port = port_object(name, queryObject, queryVolume);
    if (port.object.isEmpty())
        return;
    // The list grows while it is read: asked again in a larger buffer until
    // it fits, up to a bound a busy server stays well within.
    std::vector<char> buffer(1 << 20);
    LONG status = lengthMismatch;
    while ((status = querySystem(extendedHandleInformation, buffer.data(), ULONG(buffer.size()),
                                 nullptr)) == lengthMismatch &&
           buffer.size() < (256u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return;
    const auto *const list = reinterpret_cast<const HandleList *>(buffer.data());
    const DWORD self = GetCurrentProcessId();
    std::map<DWORD, Handle> processes;
    std::set<DWORD> holders;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        const HandleEntry &entry = list->entries[i];
        const DWORD process = DWORD(entry.process);
        if (process == self)
            continue;
        if (holders.count(process) != 0)
            continue;
        auto opened = processes.find(process);
        if (opened == processes.end())
            opened =
                processes.emplace(process, Handle(OpenProcess(PROCESS_DUP_HANDLE, FALSE, process)))
                    .first;
        if (!opened->second)
            continue;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(opened->second.get(), HANDLE(entry.handle), GetCurrentProcess(), &copy,
                             0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        const Handle held(copy);
        // Only a handle on the port's kind of device is asked its name: the
        // name of a pipe or a console waits for the transfer in progress.
        const ULONG device = device_type(copy, queryVolume);
        if ((device == port.device || device == serialPortDevice || device == modemDevice) &&
            object_name(copy, queryObject).compare(port.object, Qt::CaseInsensitive) == 0) {
            holders.insert(process);
            add(found, process, program_name(process));
        }
    }
}

} // namespace

#else

namespace {

// The program file's name of `process`, else the short name the kernel
// keeps for it (cut to 15 bytes).
QString program_name(const QString &process)
{
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(process));
    if (!program.isEmpty())
        return program.mid(program.lastIndexOf(QLatin1Char('/')) + 1);
    QFile comm(QStringLiteral("/proc/%1/comm").arg(process));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(comm.read(256)).trimmed();
}

// The pseudo-terminal whose other end the descriptor `fd` of `process` is
// (a /dev/ptmx), -1 when none.
int pseudo_terminal_of(const QString &process, const QString &fd)
{
    QFile information(QStringLiteral("/proc/%1/fdinfo/%2").arg(process, fd));
    if (!information.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : information.read(4096).split('\n'))
        if (line.startsWith("tty-index:")) {
            bool number = false;
            const int index = line.mid(10).trimmed().toInt(&number);
            return number ? index : -1;
        }
    return -1;
}

void look_for_holders(const QString &name, Found &found)
{
    struct stat port {};
    if (stat(QFile::encodeName(name).constData(), &port) != 0 || !S_ISCHR(port.st_mode))
        return;
    // A pseudo-terminal's other end is the line's far end (a bridge such
    // as socat, which keeps this end open too), not a second writer.
    const unsigned int kind = major(port.st_rdev);
    const int terminal =
        kind >= 136 && kind <= 143 ? int((kind - 136) * 256 + minor(port.st_rdev)) : -1;
    const QString self = QString::number(getpid());
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &process : processes) {
        bool number = false;
        const quint64 id = process.toULongLong(&number);
        if (!number || process == self)
            continue;
        const QString fds = QStringLiteral("/proc/%1/fd/").arg(process);
        bool holds = false, farEnd = false;
        for (const QString &fd :
             QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            struct stat open {};
            if (stat(QFile::encodeName(fds + fd).constData(), &open) != 0 || !S_ISCHR(open.st_mode))
                continue;
            holds = holds || open.st_rdev == port.st_rdev;
            farEnd = farEnd || (terminal >= 0 && open.st_rdev == makedev(5, 2) &&
                                pseudo_terminal_of(process, fd) == terminal);
        }
        if (holds && !farEnd)
            add(found, id, program_name(process));
    }
}

} // namespace

#endif
