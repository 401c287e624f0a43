// SPDX-License-Identifier: MIT
#include "serial_port.h"

#ifdef Q_OS_WIN
#include <QTimer>
#include <QWinEventNotifier>

#include <algorithm>
#include <string>

#include <windows.h>
#endif

#ifdef Q_OS_WIN

namespace {

QString last_error()
{
    return qt_error_string(int(GetLastError()));
}

// One port, every transfer overlapped so that a slow line or one held by
// flow control never stops the event loop: one read of one byte at a time,
// which ends as soon as a byte has come however a system reads the port's
// timeouts (Wine takes none of the combinations that return early with
// what is there), and one write at a time of what is queued. A completion
// is seen through its event.
class WindowsSerialPort final : public QIODevice {
public:
    WindowsSerialPort(HANDLE handle, QObject *parent) : QIODevice(parent), handle_(handle)
    {
        for (OVERLAPPED *overlapped : {&readOverlapped_, &writeOverlapped_}) {
            ZeroMemory(overlapped, sizeof(OVERLAPPED));
            overlapped->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        }
        read_ = new QWinEventNotifier(readOverlapped_.hEvent, this);
        written_ = new QWinEventNotifier(writeOverlapped_.hEvent, this);
        connect(read_, &QWinEventNotifier::activated, this, [this]() { finish_read(); });
        connect(written_, &QWinEventNotifier::activated, this, [this]() { finish_write(); });
        QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
        start_read();
    }

    ~WindowsSerialPort() override
    {
        close();
        for (OVERLAPPED *overlapped : {&readOverlapped_, &writeOverlapped_})
            CloseHandle(overlapped->hEvent);
    }

    bool isSequential() const override
    {
        return true;
    }

    qint64 bytesAvailable() const override
    {
        return incoming_.size() + QIODevice::bytesAvailable();
    }

    qint64 bytesToWrite() const override
    {
        return outgoing_.size();
    }

    // What is being written is given up: closing follows a failure or the
    // end of the destination, and a line held by flow control would keep
    // it forever.
    void close() override
    {
        if (handle_ != INVALID_HANDLE_VALUE) {
            read_->setEnabled(false);
            written_->setEnabled(false);
            CancelIo(handle_);
            DWORD ignored = 0;
            if (reading_)
                GetOverlappedResult(handle_, &readOverlapped_, &ignored, TRUE);
            if (writing_)
                GetOverlappedResult(handle_, &writeOverlapped_, &ignored, TRUE);
            reading_ = writing_ = false;
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
        outgoing_.clear();
        QIODevice::close();
    }

    void clear_input()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            PurgeComm(handle_, PURGE_RXCLEAR);
        incoming_.clear();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const int taken = int(std::min<qint64>(maxSize, incoming_.size()));
        std::copy_n(incoming_.constData(), taken, data);
        incoming_.remove(0, taken);
        return taken;
    }

    qint64 writeData(const char *data, qint64 size) override
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return -1;
        outgoing_.append(data, int(size));
        if (!writing_)
            start_write();
        return size;
    }

private:
    // Bounds what is kept of a peer that talks and is never read; a reply
    // the program waits for is far shorter.
    static constexpr int keptIncoming = 64 * 1024;
    // Bytes taken in one turn of the loop.
    static constexpr int burst = 4096;

    void fail(const QString &why)
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return;
        close();
        setErrorString(why); // after close(), which may clear it
        // Told from the event loop: a failure found inside write() is not
        // answered inside the caller's own call.
        QTimer::singleShot(0, this, [this]() { emit readChannelFinished(); });
    }

    // Starts the next read. Bytes already there complete their reads at
    // the call and are taken at once, up to a bound, so that a burst costs
    // one turn of the event loop rather than one per byte. Returns how
    // many were taken.
    int start_read()
    {
        int taken = 0;
        while (handle_ != INVALID_HANDLE_VALUE) {
            if (!ReadFile(handle_, &byte_, 1, nullptr, &readOverlapped_)) {
                // A pending read's event tells when it is done.
                reading_ = GetLastError() == ERROR_IO_PENDING;
                if (!reading_)
                    fail(last_error());
                break;
            }
            DWORD got = 0;
            GetOverlappedResult(handle_, &readOverlapped_, &got, FALSE);
            if (got == 1) {
                keep(byte_);
                ++taken;
            }
            if (got == 0 || taken == burst) {
                read_later(got == 0 ? 20 : 0);
                break;
            }
        }
        return taken;
    }

    // The next read started after `ms`: a system that ends a read with
    // nothing is asked again after a pause, so that this can never spin.
    void read_later(int ms)
    {
        QTimer::singleShot(ms, this, [this]() {
            if (start_read() > 0)
                emit readyRead();
        });
    }

    void keep(char byte)
    {
        incoming_.append(byte);
        if (incoming_.size() > keptIncoming)
            incoming_.remove(0, incoming_.size() - keptIncoming);
    }

    // Whether the transfer `busy` marks has ended (with `done` bytes): not
    // when none is under way or it is still running; a failed one fails
    // the port. The events are reset by the next transfer only: one that
    // stays set after its transfer was taken is passed over.
    bool ended(OVERLAPPED &overlapped, bool &busy, DWORD &done)
    {
        ResetEvent(overlapped.hEvent);
        if (!busy)
            return false;
        if (!GetOverlappedResult(handle_, &overlapped, &done, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE)
                return false;
            busy = false;
            fail(last_error());
            return false;
        }
        busy = false;
        return true;
    }

    void finish_read()
    {
        DWORD got = 0;
        if (!ended(readOverlapped_, reading_, got))
            return;
        if (got == 0) {
            read_later(20);
            return;
        }
        keep(byte_);
        start_read();
        emit readyRead();
    }

    void start_write()
    {
        writing_ = true;
        const DWORD size = DWORD(std::min<qint64>(outgoing_.size(), 64 * 1024));
        if (!WriteFile(handle_, outgoing_.constData(), size, nullptr, &writeOverlapped_) &&
            GetLastError() != ERROR_IO_PENDING) {
            writing_ = false;
            fail(last_error());
        }
    }

    void finish_write()
    {
        DWORD done = 0;
        if (!ended(writeOverlapped_, writing_, done))
            return;
        if (done == 0) {
            // The write's own timeout ran out: flow control held it.
            fail(QStringLiteral("the line took nothing for 10 s (flow control held it)"));
            return;
        }
        outgoing_.remove(0, int(done));
        if (!outgoing_.isEmpty())
            start_write();
        emit bytesWritten(qint64(done));
    }

    HANDLE handle_;
    OVERLAPPED readOverlapped_, writeOverlapped_;
    QWinEventNotifier *read_ = nullptr;
    QWinEventNotifier *written_ = nullptr;
    bool reading_ = false;
    bool writing_ = false;
    char byte_ = 0;
    QByteArray incoming_, outgoing_;
};

// COM1 to COM9 open by name; \\.\ opens every one, COM10 and on too.
std::wstring device_path(const QString &name)
{
    const QString path =
        name.startsWith(QLatin1String("\\\\.\\")) ? name : QLatin1String("\\\\.\\") + name;
    return path.toStdWString();
}

bool configure(HANDLE handle, const SerialSettings &settings)
{
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(handle, &line))
        return false;
    line.BaudRate = DWORD(settings.baud);
    line.ByteSize = BYTE(settings.bits);
    line.Parity = settings.parity == 'E'   ? EVENPARITY
                  : settings.parity == 'O' ? ODDPARITY
                  : settings.parity == 'M' ? MARKPARITY
                  : settings.parity == 'S' ? SPACEPARITY
                                           : NOPARITY;
    line.fParity = settings.parity != 'N';
    line.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    line.fBinary = TRUE;
    line.fOutxCtsFlow = settings.hardwareFlow;
    line.fRtsControl = settings.hardwareFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fOutX = line.fInX = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    if (!SetCommState(handle, &line))
        return false;
    // A read waits for its byte however long; a write held longer than 10 s
    // by flow control ends with nothing written.
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = 10000;
    return SetCommTimeouts(handle, &timeouts);
}

HANDLE open_port(const QString &name, SerialOpening &failure)
{
    const HANDLE handle = CreateFileW(device_path(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        failure = {nullptr, qt_error_string(int(code)),
                   code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND};
    }
    return handle;
}

} // namespace

bool system_serial_ports()
{
    return true;
}

SerialOpening open_system_serial_port(const QString &name, const SerialSettings &settings,
                                      QObject *parent)
{
    SerialOpening failure;
    const HANDLE handle = open_port(name, failure);
    if (handle == INVALID_HANDLE_VALUE)
        return failure;
    if (!configure(handle, settings)) {
        const QString why = last_error();
        CloseHandle(handle);
        return {nullptr, why, false};
    }
    return {new WindowsSerialPort(handle, parent), QString(), false};
}

QString try_system_serial_port(const QString &name, bool *missing)
{
    SerialOpening failure;
    const HANDLE handle = open_port(name, failure);
    *missing = failure.missing;
    if (handle == INVALID_HANDLE_VALUE)
        return failure.error;
    CloseHandle(handle);
    return QString();
}

void clear_system_serial_input(QIODevice *port)
{
    if (auto *const windowsPort = dynamic_cast<WindowsSerialPort *>(port))
        windowsPort->clear_input();
}

QStringList system_serial_port_names()
{
    // Every device name the system has, "COM" ones kept; the list grows
    // until it fits.
    for (DWORD size = 16 * 1024; size <= 1024 * 1024; size *= 4) {
        std::wstring names(size, L'\0');
        const DWORD length = QueryDosDeviceW(nullptr, names.data(), size);
        if (length == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            continue;
        QStringList ports;
        for (const QString &device :
             QString::fromWCharArray(names.data(), int(length)).split(QChar(0)))
            if (device.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && device.size() > 3)
                ports << device.toUpper();
        ports.sort();
        ports.removeDuplicates();
        return ports;
    }
    return {};
}

#else

bool system_serial_ports()
{
    return false;
}

SerialOpening open_system_serial_port(const QString &, const SerialSettings &, QObject *)
{
    return {nullptr, QStringLiteral("serial ports are not in this build"), false};
}

QString try_system_serial_port(const QString &, bool *missing)
{
    *missing = false;
    return QStringLiteral("serial ports are not in this build");
}

void clear_system_serial_input(QIODevice *)
{
}

QStringList system_serial_port_names()
{
    return {};
}

#endif
