// SPDX-License-Identifier: MIT
// Holds a file open the way other Windows programs do, for the tests:
//   hold_file PATH SHARING MS [CONTENT]
// opens PATH (which must exist) for reading and writing, or for reading
// only when SHARING is "read", sharing nothing ("none"), reading only
// ("read", as .NET's File.ReadAllText) or reading and writing ("readwrite");
// with CONTENT (a file), writes its bytes over PATH's first, as a playout
// program writing its document; prints "held" once it has it, and closes it
// after MS milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4 && argc != 5)
        return 2;
    DWORD access = GENERIC_READ | GENERIC_WRITE, sharing = 0;
    if (std::wcscmp(argv[2], L"read") == 0) {
        access = GENERIC_READ;
        sharing = FILE_SHARE_READ;
    } else if (std::wcscmp(argv[2], L"readwrite") == 0) {
        sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
    const HANDLE handle = CreateFileW(argv[1], access, sharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 1;
    if (argc == 5) {
        static char bytes[1 << 16];
        DWORD size = 0, written = 0;
        const HANDLE content = CreateFileW(argv[4], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (content == INVALID_HANDLE_VALUE ||
            !ReadFile(content, bytes, sizeof bytes, &size, nullptr))
            return 1;
        CloseHandle(content);
        if (!WriteFile(handle, bytes, size, &written, nullptr) || written != size ||
            !SetEndOfFile(handle))
            return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    Sleep(DWORD(std::wcstoul(argv[3], nullptr, 10)));
    CloseHandle(handle);
    return 0;
}
