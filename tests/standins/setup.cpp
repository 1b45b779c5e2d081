// Prepares a fresh Wine prefix for the tests: puts the stand-in service in
// place of Wine's own TermService stub and registers it under the other two
// names of the chain (UmRdpService depending on TermService), writes the two PortNumber values Remote Desktop keeps
// (3389), and maps the window's font to a CJK font that Wine can find.
// Usage: standin_setup.exe <windows path of rdpsvc.exe>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Each service with its dependencies as Windows declares them (a
// double-NUL-terminated list): UmRdpService depends on TermService.
struct StandIn {
    const wchar_t* name;
    const wchar_t* dependencies;
};
const StandIn kServices[] = {
    {L"TermService", nullptr},
    {L"UmRdpService", L"TermService\0"},
    {L"SessionEnv", nullptr},
};

void RemoveService(SC_HANDLE hScm, const wchar_t* name)
{
    SC_HANDLE hSvc = OpenServiceW(hScm, name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!hSvc)
        return;
    SERVICE_STATUS status = {};
    ControlService(hSvc, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 100 && QueryServiceStatus(hSvc, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
        Sleep(50);
    DeleteService(hSvc);
    CloseServiceHandle(hSvc);
}

// The manager may refuse the name for a moment after the delete.
bool CreateStandIn(SC_HANDLE hScm, const wchar_t* name, const wchar_t* dependencies, const std::wstring& exe)
{
    const std::wstring binPath = L"\"" + exe + L"\" " + name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        SC_HANDLE hSvc = CreateServiceW(hScm, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binPath.c_str(), nullptr,
                                        nullptr, dependencies, nullptr, nullptr);
        if (hSvc) {
            CloseServiceHandle(hSvc);
            return true;
        }
        Sleep(100);
    }
    return false;
}

bool SetPort(const wchar_t* path)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return false;
    DWORD port = 3389;
    LONG rc = RegSetValueExW(hKey, L"PortNumber", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

bool MapFont()
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    const wchar_t font[] = L"WenQuanYi Micro Hei";
    LONG rc = RegSetValueExW(hKey, L"Microsoft YaHei UI", 0, REG_SZ, reinterpret_cast<const BYTE*>(font), sizeof font);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        printf("usage: standin_setup <path of rdpsvc.exe>\n");
        return 2;
    }
    SC_HANDLE hScm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hScm) {
        printf("setup: no service manager (%lu)\n", GetLastError());
        return 1;
    }
    bool ok = true;
    for (const StandIn& s : kServices) {
        RemoveService(hScm, s.name);
        if (!CreateStandIn(hScm, s.name, s.dependencies, argv[1])) {
            printf("setup: cannot create %ls (%lu)\n", s.name, GetLastError());
            ok = false;
        }
    }
    CloseServiceHandle(hScm);

    ok = SetPort(L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp") && ok;
    ok = SetPort(L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\Tds\\tcp") && ok;
    ok = MapFont() && ok;
    printf("setup: %s\n", ok ? "stand-ins installed" : "FAILED");
    return ok ? 0 : 1;
}
