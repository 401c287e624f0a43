// SPDX-License-Identifier: MIT
#include "socket_options.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

void reset_on_close(qintptr descriptor)
{
    if (descriptor < 0)
        return;
    linger immediately = {};
    immediately.l_onoff = 1;
    immediately.l_linger = 0;
#ifdef Q_OS_WIN
    setsockopt(SOCKET(descriptor), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char *>(&immediately), sizeof immediately);
#else
    setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
#endif
}
