// Both probes against real listeners opened by the test. CTest runs it in
// a network namespace of its own (in-test-netns.sh), which has a
// non-loopback IPv4 address and IPv6 on every machine; without them the
// cases that need them fail rather than pass unseen.
#include "sockets.h"

#include "check.h"
#include "../../adapters/probes.h"

#include <ws2tcpip.h>
#include <iphlpapi.h>

namespace {

SOCKET Listen6Only(unsigned short port)
{
    SOCKET s = socket(AF_INET6, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return s;
    DWORD v6only = 1;
    setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6only), sizeof v6only);
    sockaddr_in6 sa = {};
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(port);
    sa.sin6_addr = in6addr_any;
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(s, 16) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// An IPv4 address of this machine other than loopback, in network order; 0
// when there is none.
ULONG NonLoopbackAddress()
{
    ULONG size = 0;
    GetAdaptersAddresses(AF_INET, 0, nullptr, nullptr, &size);
    if (size == 0)
        return 0;
    std::string buffer(size, '\0');
    IP_ADAPTER_ADDRESSES* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(&buffer[0]);
    if (GetAdaptersAddresses(AF_INET, 0, nullptr, list, &size) != NO_ERROR)
        return 0;
    for (IP_ADAPTER_ADDRESSES* a = list; a; a = a->Next) {
        for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next) {
            const sockaddr_in* sin = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr);
            if (sin->sin_family == AF_INET && (ntohl(sin->sin_addr.s_addr) >> 24) != 127)
                return sin->sin_addr.s_addr;
        }
    }
    return 0;
}

void Expect(const char* name, unsigned short port, bool connect, bool table)
{
    BeginCase(name);
    CHECK_EQ(connect, CanConnectLocal(port));
    CHECK_EQ(table, IsPortListening(port));
}

} // namespace

int wmain()
{
    CHECK(StartSockets());

    SOCKET any = ListenTcp4(htonl(INADDR_ANY), 47011);
    CHECK(any != INVALID_SOCKET);
    Expect("listener on 0.0.0.0", 47011, true, true);
    // 47011 is 0xB7A3; the swapped bytes 0xA3B7 are 41911.
    Expect("the byte-swapped port does not match", 41911, false, false);
    closesocket(any);
    Expect("no listener once it is closed", 47011, false, false);

    SOCKET loop = ListenTcp4(htonl(INADDR_LOOPBACK), 47012);
    CHECK(loop != INVALID_SOCKET);
    Expect("listener on 127.0.0.1", 47012, true, true);
    closesocket(loop);

    BeginCase("a non-loopback IPv4 address to listen on");
    const ULONG other = NonLoopbackAddress();
    if (CHECK(other != 0)) {
        SOCKET s = ListenTcp4(other, 47013);
        CHECK(s != INVALID_SOCKET);
        Expect("listener on a non-loopback address only: table yes, connect no", 47013, false, true);
        closesocket(s);
    }

    BeginCase("IPv6 to listen on");
    SOCKET v6 = Listen6Only(47014);
    if (CHECK(v6 != INVALID_SOCKET)) {
        Expect("IPv6-only listener", 47014, false, false);
        closesocket(v6);
    }

    Expect("nothing listening", 47015, false, false);

    BeginCase("a table probe among many listeners");
    SOCKET many[40];
    for (int i = 0; i < 40; ++i)
        many[i] = ListenTcp4(htonl(INADDR_ANY), static_cast<unsigned short>(47100 + i));
    CHECK(IsPortListening(47139));
    CHECK(IsPortListening(47100));
    CHECK(!IsPortListening(47140));
    for (SOCKET s : many)
        closesocket(s);

    StopSockets();
    return TestSummary("probes_test");
}
