// Sockets for the Win32 tests. Included before windows.h.
#pragma once

#include <winsock2.h>

// A listening IPv4 TCP socket on addr:port (addr in network order);
// INVALID_SOCKET when it cannot be had. Needs Windows Sockets started.
SOCKET ListenTcp4(ULONG addr, unsigned short port);
// Whether a connect to 127.0.0.1:port is accepted, asked by the test rather
// than through the program's probe.
bool ConnectsLocal(unsigned short port);
