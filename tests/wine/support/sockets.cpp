// Sockets for the Win32 tests; see sockets.h. Apart from the other helpers,
// which import iphlpapi, so that a program without that import can use it.
#include "sockets.h"

namespace {

sockaddr_in Address4(ULONG addr, unsigned short port)
{
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = addr;
    return sa;
}

} // namespace

SOCKET ListenTcp4(ULONG addr, unsigned short port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return INVALID_SOCKET;
    sockaddr_in sa = Address4(addr, port);
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(s, 16) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool ConnectsLocal(unsigned short port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    const sockaddr_in sa = Address4(htonl(INADDR_LOOPBACK), port);
    const bool ok = connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    closesocket(s);
    return ok;
}
