// Asking whether something listens on a local TCP port: a loopback connect
// and the IPv4 TCP listener table. Both block without dispatching messages.
#include "probes.h"

#include "probe_rules.h"
#include "sysload.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <iphlpapi.h>

#include <cstring>
#include <vector>

namespace {

const DWORD kSocketTimeoutMs = 1500;

// The table can grow between the size query and the fetch; a few fresh
// tries keep a busy port from passing as free.
const int kTableAttempts = 4;

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOW*);
typedef DWORD(WINAPI* GetExtendedTcpTableFn)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);

const wchar_t kIphlpapi[] = L"iphlpapi.dll";

// iphlpapi's GetExtendedTcpTable once it has been found. The module then
// stays loaded for the rest of the process, as a static import would.
GetExtendedTcpTableFn g_getTcpTable = nullptr;

// RtlGetVersion, because GetVersionExW reports Windows 8 to a program whose
// manifest names no supported system. ntdll is in every process; nothing is
// loaded or released.
bool SystemHonoursNoSynRetransmissions()
{
    HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    if (!hNtdll)
        return false;
    RtlGetVersionFn rtlGetVersion =
        reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(hNtdll, "RtlGetVersion")));
    if (!rtlGetVersion)
        return false;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (rtlGetVersion(&version) != 0)
        return false;
    return HonoursNoSynRetransmissions(version.dwMajorVersion, version.dwBuildNumber);
}

// Windows retransmits a SYN that a closed loopback port resets, so a refused
// connect blocks about 2 s, frozen window and all. Without retransmissions
// it returns at once, and a live listener still answers the first SYN. Sent
// only where the value means "none"; elsewhere the socket stays as it is.
void AskForNoSynRetransmissions(SOCKET s)
{
    if (!SystemHonoursNoSynRetransmissions())
        return;
    TCP_INITIAL_RTO_PARAMETERS rto = {};
    rto.Rtt = TCP_INITIAL_RTO_UNSPECIFIED_RTT;
    rto.MaxSynRetransmissions = TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS;
    DWORD returned = 0;
    WSAIoctl(s, SIO_TCP_INITIAL_RTO, &rto, sizeof rto, nullptr, 0, &returned, nullptr, nullptr);
}

// The listener table through the given GetExtendedTcpTable.
bool FindListener(GetExtendedTcpTableFn getTable, unsigned short port)
{
    const DWORD wanted = htons(port);
    for (int attempt = 0; attempt < kTableAttempts; ++attempt) {
        DWORD dwSize = 0;
        getTable(nullptr, &dwSize, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
        if (dwSize == 0)
            return false;
        std::vector<BYTE> buffer(dwSize, 0);
        DWORD rc = getTable(buffer.data(), &dwSize, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
        if (rc == ERROR_INSUFFICIENT_BUFFER)
            continue;
        if (rc != NO_ERROR)
            return false;
        const MIB_TCPTABLE_OWNER_PID* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_TCPROW_OWNER_PID& row = table->table[i];
            if (row.dwLocalPort == wanted && row.dwState == MIB_TCP_STATE_LISTEN)
                return true;
        }
        return false;
    }
    return false;
}

// iphlpapi from the system directory. Where the loader does not know
// LOAD_LIBRARY_SEARCH_SYSTEM32 (Windows 7 without KB2533623), by its full
// path there, with the DLL's own folder searched first for its imports
// (dnsapi and the rest), so that nothing comes from the program's folder.
HMODULE LoadIphlpapi()
{
    HMODULE hModule = static_cast<HMODULE>(LoadLibrarySearchSystem32(kIphlpapi));
    if (hModule || GetLastError() != ERROR_INVALID_PARAMETER)
        return hModule;
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, ARRAYSIZE(path));
    if (n == 0 || n + 1 + ARRAYSIZE(kIphlpapi) > ARRAYSIZE(path))
        return nullptr;
    path[n] = L'\\';
    memcpy(path + n + 1, kIphlpapi, sizeof kIphlpapi);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Loaded at the first table probe, not at start-up: the window comes first,
// and a start that never probes pays nothing. A failed load is tried again
// at the next probe.
GetExtendedTcpTableFn TcpTableFunction()
{
    if (g_getTcpTable)
        return g_getTcpTable;
    HMODULE hIphlpapi = LoadIphlpapi();
    if (!hIphlpapi)
        return nullptr;
    GetExtendedTcpTableFn getTable = reinterpret_cast<GetExtendedTcpTableFn>(
        reinterpret_cast<void*>(GetProcAddress(hIphlpapi, "GetExtendedTcpTable")));
    if (!getTable) {
        FreeLibrary(hIphlpapi);
        return nullptr;
    }
    g_getTcpTable = getTable;
    return g_getTcpTable;
}

} // namespace

bool StartSockets()
{
    WSADATA wsaData;
    return WSAStartup(MAKEWORD(2, 2), &wsaData) == 0;
}

void StopSockets()
{
    WSACleanup();
}

bool CanConnectLocal(unsigned short port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    DWORD timeout = kSocketTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    AskForNoSynRetransmissions(s);

    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int rc = connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    closesocket(s);
    return rc == 0;
}

// iphlpapi.dll is not one of the system's known DLLs, so a static import
// would take a copy beside the program first; it is loaded from the system
// directory instead (see TcpTableFunction).
bool IsPortListening(unsigned short port)
{
    GetExtendedTcpTableFn getTable = TcpTableFunction();
    return getTable && FindListener(getTable, port);
}
