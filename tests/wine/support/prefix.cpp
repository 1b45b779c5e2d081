// Helpers for the Win32 tests run in the test prefix.
#include <winsock2.h>
#include <iphlpapi.h>

#include "prefix.h"
#include "wait.h"

#include <tlhelp32.h>

#include <vector>

const wchar_t kWinStationsPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp";
const wchar_t kTdsPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\Tds\\tcp";
const wchar_t kStandInPath[] = L"SOFTWARE\\ZvTest\\StandIn";
const wchar_t kNetshPath[] = L"SOFTWARE\\ZvTest\\Netsh";
const wchar_t kFirewallRulesPath[] =
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
const wchar_t kServiceLog[] = L"C:\\zvtest\\services.log";
const wchar_t kNetshLog[] = L"C:\\zvtest\\netsh.log";
const wchar_t kNetshDirLog[] = L"C:\\zvtest\\netsh-dirs.log";

namespace {

bool SetValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(hKey, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(towlower(c));
    return s;
}

} // namespace

bool SetDword(const wchar_t* path, const wchar_t* name, DWORD value)
{
    return SetValue(path, name, REG_DWORD, &value, sizeof value);
}

bool SetBinary(const wchar_t* path, const wchar_t* name, const void* data, DWORD size)
{
    return SetValue(path, name, REG_BINARY, data, size);
}

bool SetString(const wchar_t* path, const wchar_t* name, const wchar_t* value)
{
    return SetValue(path, name, REG_SZ, value, static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

bool DeleteValue(const wchar_t* path, const wchar_t* name)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    LONG rc = RegDeleteValueW(hKey, name);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

bool DeleteTree(const wchar_t* path)
{
    // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return true;
    RegCloseKey(hKey);
    return false;
}

long long RawPortNumber(const wchar_t* path, DWORD* type)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return -1;
    DWORD value = 0, dwType = 0, dwSize = sizeof value;
    LONG rc = RegQueryValueExW(hKey, L"PortNumber", nullptr, &dwType, reinterpret_cast<BYTE*>(&value), &dwSize);
    RegCloseKey(hKey);
    if (type)
        *type = dwType;
    if (rc != ERROR_SUCCESS || dwSize != sizeof value)
        return -1;
    return value;
}

void ResetPortKeys(DWORD port)
{
    DeleteTree(kWinStationsPath);
    DeleteTree(kTdsPath);
    SetDword(kWinStationsPath, L"PortNumber", port);
    SetDword(kTdsPath, L"PortNumber", port);
}

std::string ReadWholeFile(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

void RemoveFile(const wchar_t* path)
{
    DeleteFileW(path);
}

void SetStandIn(const wchar_t* service, const wchar_t* name, DWORD value)
{
    std::wstring path = std::wstring(kStandInPath) + L"\\" + service;
    SetDword(path.c_str(), name, value);
}

void ResetStandIns()
{
    DeleteTree(kStandInPath);
    RemoveFile(kServiceLog);
}

void SetNetshFault(const wchar_t* fault)
{
    SetString(kNetshPath, L"Fault", fault);
    DeleteValue(kNetshPath, L"Shows");
}

std::wstring FirewallStore()
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFirewallRulesPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[1024];
        DWORD nameLen = ARRAYSIZE(name), dataSize = sizeof data - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(hKey, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
            ERROR_SUCCESS)
            break;
        data[dataSize / sizeof(wchar_t)] = L'\0';
        out += data;
        out += L"\n";
    }
    RegCloseKey(hKey);
    return out;
}

void ClearFirewallStore()
{
    DeleteTree(kFirewallRulesPath);
}

DWORD ServiceState(const wchar_t* name)
{
    SC_HANDLE hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!hScm)
        return 0;
    SC_HANDLE hSvc = OpenServiceW(hScm, name, SERVICE_QUERY_STATUS);
    DWORD state = 0;
    if (hSvc) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(hSvc, &status))
            state = status.dwCurrentState;
        CloseServiceHandle(hSvc);
    }
    CloseServiceHandle(hScm);
    return state;
}

bool WaitServiceState(const wchar_t* name, DWORD state, DWORD timeoutMs)
{
    return WaitUntil(timeoutMs, 50, [&] { return ServiceState(name) == state; });
}

bool StopServiceNow(const wchar_t* name, DWORD timeoutMs)
{
    SC_HANDLE hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!hScm)
        return false;
    SC_HANDLE hSvc = OpenServiceW(hScm, name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (hSvc) {
        SERVICE_STATUS status = {};
        ControlService(hSvc, SERVICE_CONTROL_STOP, &status);
        CloseServiceHandle(hSvc);
    }
    CloseServiceHandle(hScm);
    return WaitServiceState(name, SERVICE_STOPPED, timeoutMs);
}

bool StartChainServices()
{
    SC_HANDLE hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!hScm)
        return false;
    bool ok = true;
    for (const wchar_t* name : {L"TermService", L"UmRdpService", L"SessionEnv"}) {
        SC_HANDLE hSvc = OpenServiceW(hScm, name, SERVICE_START);
        if (hSvc) {
            StartServiceW(hSvc, 0, nullptr);
            CloseServiceHandle(hSvc);
        }
        ok = WaitServiceState(name, SERVICE_RUNNING, 10000) && ok;
    }
    CloseServiceHandle(hScm);
    return ok;
}

void ResetWorld()
{
    for (const wchar_t* name : {L"UmRdpService", L"SessionEnv", L"TermService"})
        StopServiceNow(name, 10000);
    ResetStandIns();
    ClearFirewallStore();
    SetNetshFault(L"");
    RemoveFile(kNetshLog);
    RemoveFile(kNetshDirLog);
    ResetPortKeys(3389);
}

bool InListenerTable(unsigned short port)
{
    DWORD size = 0;
    GetExtendedTcpTable(nullptr, &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
    std::vector<BYTE> buf(size + 4096);
    size = static_cast<DWORD>(buf.size());
    if (GetExtendedTcpTable(buf.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0) != NO_ERROR)
        return false;
    const MIB_TCPTABLE_OWNER_PID* t = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buf.data());
    for (DWORD i = 0; i < t->dwNumEntries; ++i) {
        if (ntohs(static_cast<u_short>(t->table[i].dwLocalPort)) == port && t->table[i].dwState == MIB_TCP_STATE_LISTEN)
            return true;
    }
    return false;
}

long RunProcess(const std::wstring& cmdLine, DWORD timeoutMs, const wchar_t* currentDirectory)
{
    std::wstring line = cmdLine;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, currentDirectory, &si,
                        &pi))
        return -1;
    long result = -1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result = static_cast<long>(code);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}

static int ForEachProcess(const wchar_t* exe, bool kill)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    const std::wstring wanted = Lower(exe);
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
        if (Lower(pe.szExeFile) != wanted)
            continue;
        ++count;
        if (!kill)
            continue;
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pe.th32ProcessID);
        if (h) {
            TerminateProcess(h, 1);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
    }
    CloseHandle(snap);
    return count;
}

int KillProcesses(const wchar_t* exe)
{
    return ForEachProcess(exe, true);
}

int CountProcesses(const wchar_t* exe)
{
    return ForEachProcess(exe, false);
}

namespace {

struct HandleEntry {
    USHORT pid;
    USHORT creatorBackTrace;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

} // namespace

DWORD ProcessHandleCount(HANDLE process)
{
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count != 0)
        return count;
    typedef LONG(WINAPI * QuerySystem)(ULONG, PVOID, ULONG, PULONG);
    QuerySystem query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::string buffer(1 << 20, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(16 /* SystemHandleInformation */, &buffer[0], static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0)
            break;
        buffer.assign(buffer.size() * 4, '\0');
    }
    const HandleList* list = reinterpret_cast<const HandleList*>(buffer.data());
    const USHORT pid = static_cast<USHORT>(GetProcessId(process));
    for (ULONG i = 0; i < list->count; ++i)
        count += list->entries[i].pid == pid;
    return count;
}

std::wstring ModuleDirectory()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring s(path, n);
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? s : s.substr(0, slash);
}

template <typename S>
static int CountIn(const S& text, const S& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != S::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

int Occurrences(const std::string& text, const std::string& what)
{
    return CountIn(text, what);
}

int Occurrences(const std::wstring& text, const std::wstring& what)
{
    return CountIn(text, what);
}
