// Behaviour of the stand-in Remote Desktop service chain, for tests under
// Wine; the service plumbing is in rdpsvc_service.cpp.
//
// Each instance appends "<name> start", "<name> running [port=N]" and
// "<name> stopped" to C:\zvtest\services.log. As TermService it reads
// PortNumber from the WinStations key at every start and listens there (IPv4,
// all addresses) until it is stopped.
//
// Behaviour is chosen before a start by REG_DWORD values under
// HKLM\SOFTWARE\ZvTest\StandIn\<name>:
//   StartDelayMs  stay START_PENDING this long before RUNNING
//   NeverRun      1: stay START_PENDING until stopped
//   StaleStarts   the first N starts keep the port of the previous listen
//   NoListen      1: never listen
//   ListenDelayMs report RUNNING at once, open the listener this much later
//                 (logged as "TermService listening port=N"), as the real
//                 TermService is RUNNING before its listener is up
//   StopDelayMs   stay STOP_PENDING this long before STOPPED
//   ListenAddress listen on this IPv4 address only (host order, e.g.
//                 0xC633640A for 198.51.100.10) instead of all addresses
// and it keeps Starts (starts so far) and LastPort (last port listened on)
// there as well.
#include <winsock2.h>

#include "rdpsvc.h"

namespace {

const wchar_t kStandInPath[] = L"SOFTWARE\\ZvTest\\StandIn\\";
const wchar_t kWinStationsPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp";
const wchar_t kLogPath[] = L"C:\\zvtest\\services.log";

DWORD ReadDword(const std::wstring& path, const wchar_t* name, DWORD fallback)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return fallback;
    DWORD value = 0, size = sizeof value, type = 0;
    LONG rc = RegQueryValueExW(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? value : fallback;
}

void WriteDword(const std::wstring& path, const wchar_t* name, DWORD value)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(hKey);
}

void Log(const std::wstring& name, const std::string& event)
{
    CreateDirectoryW(L"C:\\zvtest", nullptr);
    HANDLE h = CreateFileW(kLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string line;
    for (wchar_t c : name)
        line += static_cast<char>(c);
    line += " " + event + "\r\n";
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
}

SOCKET Listen(DWORD port, DWORD address)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return s;
    BOOL reuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    addr.sin_addr.s_addr = htonl(address);
    u_long nonBlocking = 1;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, SOMAXCONN) != 0 ||
        ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// Waits for the stop request, taking probe connections off the backlog.
void Serve(HANDLE stopEvent, SOCKET s)
{
    while (WaitForSingleObject(stopEvent, 50) == WAIT_TIMEOUT) {
        if (s == INVALID_SOCKET)
            continue;
        for (;;) {
            SOCKET c = accept(s, nullptr, nullptr);
            if (c == INVALID_SOCKET)
                break;
            closesocket(c);
        }
    }
}

// TermService's listener: the configured port, or the previous one while
// StaleStarts lasts. Adds what happened to the "running" log line.
SOCKET OpenListener(const std::wstring& config, DWORD starts, std::string& running)
{
    DWORD port = ReadDword(kWinStationsPath, L"PortNumber", 3389);
    const DWORD last = ReadDword(config, L"LastPort", 0);
    if (last != 0 && starts <= ReadDword(config, L"StaleStarts", 0))
        port = last;
    const DWORD address = ReadDword(config, L"ListenAddress", INADDR_ANY);
    SOCKET s = Listen(port, address);
    if (s != INVALID_SOCKET) {
        WriteDword(config, L"LastPort", port);
        running += " port=" + std::to_string(port);
    } else {
        running += " listen-failed port=" + std::to_string(port);
    }
    return s;
}

} // namespace

void ServiceStart(const std::wstring& name, HANDLE stopEvent)
{
    const std::wstring config = kStandInPath + name;
    const DWORD starts = ReadDword(config, L"Starts", 0) + 1;
    WriteDword(config, L"Starts", starts);
    Log(name, "start");

    const DWORD startDelay = ReadDword(config, L"StartDelayMs", 0);
    bool stopped = startDelay > 0 && WaitForSingleObject(stopEvent, startDelay) == WAIT_OBJECT_0;
    if (!stopped && ReadDword(config, L"NeverRun", 0)) {
        WaitForSingleObject(stopEvent, INFINITE);
        stopped = true;
    }

    SOCKET s = INVALID_SOCKET;
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    if (!stopped) {
        const bool listens = name == L"TermService" && !ReadDword(config, L"NoListen", 0);
        const DWORD listenDelay = listens ? ReadDword(config, L"ListenDelayMs", 0) : 0;
        std::string running = "running";
        if (listens && listenDelay == 0)
            s = OpenListener(config, starts, running);
        ReportStatus(SERVICE_RUNNING);
        Log(name, running);
        if (listenDelay > 0 && WaitForSingleObject(stopEvent, listenDelay) == WAIT_TIMEOUT) {
            std::string listening = "listening";
            s = OpenListener(config, starts, listening);
            Log(name, listening);
        }
        Serve(stopEvent, s);
    }

    ReportStatus(SERVICE_STOP_PENDING);
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    const DWORD stopDelay = ReadDword(config, L"StopDelayMs", 0);
    if (stopDelay)
        Sleep(stopDelay);
    Log(name, "stopped");
}
