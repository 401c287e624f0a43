// SPDX-License-Identifier: MIT
// A Windows RDS feeder as bench/held-output needs it:
//   held_feeder PATH SECONDS
// four times a second opens PATH for reading, sharing reading and writing
// (as .NET's FileShare.ReadWrite), reads it whole, keeps it open for
// 150 ms, and closes it. Counts what it read: empty, not one of the texts
// the watcher writes (a part), and the reads in all.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3)
        return 2;
    const DWORD until = GetTickCount() + DWORD(wcstoul(argv[2], nullptr, 10)) * 1000;
    int reads = 0, empty = 0, partial = 0, refused = 0;
    while (GetTickCount() < until) {
        const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ++refused;
        } else {
            char bytes[512];
            DWORD size = 0;
            if (ReadFile(file, bytes, sizeof bytes - 1, &size, nullptr)) {
                bytes[size] = 0;
                ++reads;
                // The watcher writes "Kino - Track N" and nothing else.
                if (size == 0)
                    ++empty;
                else if (std::strncmp(bytes, "Kino - Track ", 13) != 0 || size < 14)
                    ++partial;
            }
            Sleep(150);
            CloseHandle(file);
        }
        Sleep(100);
    }
    std::printf("reads %d, empty %d, partial %d, not opened %d\n", reads, empty, partial, refused);
    return 0;
}
