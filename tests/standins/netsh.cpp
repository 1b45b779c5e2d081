// Stand-in for netsh's "advfirewall firewall" context, for tests under Wine
// (Wine's own netsh prints nothing and always exits 0). Installed over
// system32\netsh.exe; Wine loads it with WINEDLLOVERRIDES=netsh.exe=n.
//
// Understands the three forms the program uses and answers as English
// Windows does:
//   add rule name=X dir=in action=allow protocol=P localport=N profile=any
//   delete rule name=X
//   show rule name=X
// Rules are kept as REG_SZ values under the firewall's own FirewallRules key,
// in its "v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=N|Name=X|"
// form, so tests can read the store independently. Every command line is
// appended to C:\zvtest\netsh.log, and the directory it runs in to
// C:\zvtest\netsh-dirs.log.
//
// HKLM\SOFTWARE\ZvTest\Netsh "Fault" (REG_SZ) selects a failure: fail-tcp,
// fail-udp (the add prints an error and exits 1), show-one (show lists only
// the first rule), hang (sleeps forever before doing anything), long-number
// (show prints each local port inside a longer number), show-one-first
// (the first show after the fault is set lists only the first rule, later
// ones all; the count of shows is kept as "Shows" beside "Fault").
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const wchar_t kRulesPath[] =
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
const wchar_t kConfigPath[] = L"SOFTWARE\\ZvTest\\Netsh";
const wchar_t kLogPath[] = L"C:\\zvtest\\netsh.log";
const wchar_t kDirLogPath[] = L"C:\\zvtest\\netsh-dirs.log";

std::string Narrow(const std::wstring& s)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

// Real netsh, started with CREATE_NO_WINDOW and no handles of its own,
// prints into a console nobody sees. This one has no console; Wine would
// hand it the starter's output instead, so it prints only to the handles
// it was given.
void Print(const std::string& text)
{
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    if (!(si.dwFlags & STARTF_USESTDHANDLES))
        return;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void Log(const wchar_t* path, const std::wstring& line)
{
    CreateDirectoryW(L"C:\\zvtest", nullptr);
    HANDLE h = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string text = Narrow(line) + "\r\n";
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

std::wstring Fault()
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kConfigPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    LONG rc = RegQueryValueExW(hKey, L"Fault", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS && type == REG_SZ ? value : std::wstring();
}

struct Rule {
    std::wstring id;    // the registry value's name
    std::wstring name;
    std::wstring protocol; // "6" or "17"
    std::wstring port;
};

std::wstring Field(const std::wstring& data, const std::wstring& key)
{
    size_t at = data.find(L"|" + key + L"=");
    if (at == std::wstring::npos)
        return std::wstring();
    at += key.size() + 2;
    return data.substr(at, data.find(L'|', at) - at);
}

std::vector<Rule> LoadRules()
{
    std::vector<Rule> rules;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRulesPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return rules;
    for (DWORD i = 0;; ++i) {
        wchar_t id[256];
        wchar_t data[1024];
        DWORD idLen = ARRAYSIZE(id), size = sizeof data - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(hKey, i, id, &idLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
            break;
        data[size / sizeof(wchar_t)] = L'\0';
        if (type != REG_SZ)
            continue;
        rules.push_back({id, Field(data, L"Name"), Field(data, L"Protocol"), Field(data, L"LPort")});
    }
    RegCloseKey(hKey);
    return rules;
}

void NoMatch()
{
    Print("\r\nNo rules match the specified criteria.\r\n\r\n");
}

int AddRule(const std::map<std::wstring, std::wstring>& args, const std::wstring& fault)
{
    auto get = [&](const wchar_t* k) {
        auto it = args.find(k);
        return it == args.end() ? std::wstring() : it->second;
    };
    const std::wstring protocol = get(L"protocol");
    const std::wstring name = get(L"name");
    if (name.empty() || (protocol != L"TCP" && protocol != L"UDP")) {
        Print("A specified value is not valid.\r\n\r\n");
        return 1;
    }
    if ((fault == L"fail-tcp" && protocol == L"TCP") || (fault == L"fail-udp" && protocol == L"UDP")) {
        Print("An error occurred while attempting to contact the Windows Firewall service.\r\n\r\n");
        return 1;
    }
    std::wstring data = L"v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=" +
                        std::wstring(protocol == L"TCP" ? L"6" : L"17") + L"|LPort=" + get(L"localport") +
                        L"|Name=" + name + L"|";
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRulesPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return 1;
    // Names are not unique: every add makes a rule of its own.
    static LONG counter = 0;
    wchar_t id[64];
    wsprintfW(id, L"{ZV-%08X-%04X-%04X}", GetTickCount(), GetCurrentProcessId() & 0xFFFF,
              InterlockedIncrement(&counter));
    RegSetValueExW(hKey, id, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
    Print("Ok.\r\n\r\n");
    return 0;
}

int DeleteRules(const std::wstring& name)
{
    int deleted = 0;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRulesPath, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        for (const Rule& r : LoadRules()) {
            if (r.name == name && RegDeleteValueW(hKey, r.id.c_str()) == ERROR_SUCCESS)
                ++deleted;
        }
        RegCloseKey(hKey);
    }
    if (deleted == 0) {
        NoMatch();
        return 1;
    }
    char text[64];
    snprintf(text, sizeof text, "\r\nDeleted %d rule(s).\r\nOk.\r\n\r\n", deleted);
    Print(text);
    return 0;
}

std::string Line(const char* label, const std::string& value)
{
    std::string line = label;
    line.resize(38, ' ');
    return line + value + "\r\n";
}

// Counts the shows since the fault was set; the first is 1.
DWORD CountShow()
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kConfigPath, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &hKey, nullptr) != ERROR_SUCCESS)
        return 0;
    DWORD shows = 0, size = sizeof shows, type = 0;
    if (RegQueryValueExW(hKey, L"Shows", nullptr, &type, reinterpret_cast<BYTE*>(&shows), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        shows = 0;
    ++shows;
    RegSetValueExW(hKey, L"Shows", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&shows), sizeof shows);
    RegCloseKey(hKey);
    return shows;
}

int ShowRules(const std::wstring& name, const std::wstring& fault)
{
    const bool oneOnly = fault == L"show-one" || (fault == L"show-one-first" && CountShow() == 1);
    std::string out;
    int shown = 0;
    for (const Rule& r : LoadRules()) {
        if (r.name != name)
            continue;
        if (oneOnly && shown == 1)
            break;
        ++shown;
        std::string port = Narrow(r.port);
        if (fault == L"long-number")
            port = "1" + port + "0";
        out += "\r\n";
        out += Line("Rule Name:", Narrow(r.name));
        out += std::string(70, '-') + "\r\n";
        out += Line("Enabled:", "Yes");
        out += Line("Direction:", "In");
        out += Line("Profiles:", "Domain,Private,Public");
        out += Line("Grouping:", "");
        out += Line("LocalIP:", "Any");
        out += Line("RemoteIP:", "Any");
        out += Line("Protocol:", r.protocol == L"6" ? "TCP" : "UDP");
        out += Line("LocalPort:", port);
        out += Line("RemotePort:", "Any");
        out += Line("Edge traversal:", "No");
        out += Line("Action:", "Allow");
    }
    if (shown == 0) {
        NoMatch();
        return 1;
    }
    Print(out + "Ok.\r\n\r\n");
    return 0;
}

} // namespace

int wmain()
{
    Log(kLogPath, GetCommandLineW());
    wchar_t dir[MAX_PATH] = L"";
    GetCurrentDirectoryW(ARRAYSIZE(dir), dir);
    Log(kDirLogPath, dir);
    const std::wstring fault = Fault();
    if (fault == L"hang")
        Sleep(INFINITE);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return 1;
    std::vector<std::wstring> words(argv + 1, argv + argc);
    LocalFree(argv);

    // advfirewall firewall <verb> rule key=value...
    if (words.size() < 4 || words[0] != L"advfirewall" || words[1] != L"firewall" || words[3] != L"rule") {
        Print("The following command was not found.\r\n");
        return 1;
    }
    std::map<std::wstring, std::wstring> args;
    for (size_t i = 4; i < words.size(); ++i) {
        size_t eq = words[i].find(L'=');
        if (eq != std::wstring::npos)
            args[words[i].substr(0, eq)] = words[i].substr(eq + 1);
    }
    const std::wstring& verb = words[2];
    if (verb == L"add")
        return AddRule(args, fault);
    if (verb == L"delete")
        return DeleteRules(args[L"name"]);
    if (verb == L"show")
        return ShowRules(args[L"name"], fault);
    Print("The following command was not found.\r\n");
    return 1;
}
