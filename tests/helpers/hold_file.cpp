// SPDX-License-Identifier: MIT
// Holds a file open the way other Windows programs do, for the tests:
//   hold_file PATH SHARING MS
// opens PATH (which must exist) for reading and writing, or for reading
// only when SHARING is "read", sharing nothing ("none"), reading only
// ("read", as .NET's File.ReadAllText) or reading and writing ("readwrite"),
// prints "held" once it has it, and closes it after MS milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4)
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
    std::puts("held");
    std::fflush(stdout);
    Sleep(DWORD(std::wcstoul(argv[3], nullptr, 10)));
    CloseHandle(handle);
    return 0;
}
