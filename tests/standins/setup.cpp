// Prepares a fresh Wine prefix for the tests: puts the stand-in service in
// place of Wine's own TermService stub and registers it under the other two
// names of the chain (UmRdpService depending on TermService), writes the two
// PortNumber values Remote Desktop keeps (3389), and maps the window's and
// the message boxes' fonts to a CJK font that Wine can find.
// With --decorated, Wine draws the windows' title bars itself, as there is
// no window manager on a virtual display (for the pictures and the run
// command; the tests leave it off).
// Usage: standin_setup.exe <windows path of rdpsvc.exe> [--decorated]
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

bool SetValue(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type, const wchar_t* data, DWORD bytes)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(hKey, name, 0, type, reinterpret_cast<const BYTE*>(data), bytes);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

// The window's own font becomes WenQuanYi Micro Hei; the message boxes'
// font (Tahoma here) falls back to it for Chinese, as Windows links its
// fonts, so that a box seen by a person shows its text.
bool MapFonts()
{
    const wchar_t face[] = L"WenQuanYi Micro Hei";
    const wchar_t link[] = L"wqy-microhei.ttc,WenQuanYi Micro Hei\0";
    return SetValue(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", L"Microsoft YaHei UI", REG_SZ, face,
                        sizeof face) &&
           SetValue(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                        L"Tahoma", REG_MULTI_SZ, link, sizeof link);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && lstrcmpW(argv[2], L"--decorated") != 0)) {
        printf("usage: standin_setup <path of rdpsvc.exe> [--decorated]\n");
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
    ok = MapFonts() && ok;
    if (argc == 3) {
        const wchar_t no[] = L"N";
        ok = SetValue(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Decorated", REG_SZ, no, sizeof no) && ok;
    }
    printf("setup: %s\n", ok ? "stand-ins installed" : "FAILED");
    return ok ? 0 : 1;
}
