// The Remote Desktop port in the registry.
#include "registry.h"

#include <windows.h>

static_assert(sizeof(unsigned long) == sizeof(DWORD), "PortNumber is read straight into the caller's variable");

namespace {

const wchar_t kWinStationsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp";
const wchar_t kTdsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\Tds\\tcp";
const wchar_t kPortValue[] = L"PortNumber";

const wchar_t* KeyPath(PortKey key)
{
    return key == PORTKEY_TDS ? kTdsKey : kWinStationsKey;
}

} // namespace

bool ReadPort(unsigned long& port)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinStationsKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD dwType = REG_NONE;
    DWORD dwSize = sizeof(DWORD);
    LONG rc = RegQueryValueExW(hKey, kPortValue, nullptr, &dwType, reinterpret_cast<BYTE*>(&port), &dwSize);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS && dwType == REG_DWORD;
}

bool WritePortNumber(PortKey key, unsigned long port)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(key), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return true;
    DWORD dwData = port;
    LONG rc = RegSetValueExW(hKey, kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), sizeof dwData);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

bool QueryPortNumber(PortKey key, unsigned long& port)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(key), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD dwData = 0;
    DWORD dwType = REG_NONE;
    DWORD dwSize = sizeof dwData;
    LONG rc = RegQueryValueExW(hKey, kPortValue, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwData), &dwSize);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return false;
    port = dwData;
    return true;
}
