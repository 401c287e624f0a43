// SPDX-License-Identifier: MIT
#include "console.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

void print_text(std::FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    const HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        for (int at = 0; at < text.size();) {
            // A console write takes a limited number of characters at once.
            const DWORD n = DWORD(qMin(text.size() - at, 8192));
            DWORD written = 0;
            if (!WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(text.utf16()) + at, n,
                               &written, nullptr) ||
                written == 0)
                return;
            at += int(written);
        }
        return;
    }
    const QByteArray bytes = text.toUtf8();
#else
    const QByteArray bytes = text.toLocal8Bit();
#endif
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
