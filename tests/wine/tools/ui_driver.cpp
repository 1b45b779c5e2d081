// End-to-end driver: runs one scenario against the real program in the test
// prefix, as an administrator would use it, and compares what it saw with
// the scenario's expected transcript.
//
//   ui_driver.exe SCENARIO-FILE [WINVER]
//
// With WINVER (win81, win10) Wine reports that Windows version to the
// program (HKCU\Software\Wine\AppDefaults\ZelvorTarnwick.exe, Version);
// the transcript is saved as NAME-WINVER and compared with the same
// expected transcript.
//
// A scenario file is UTF-8: actions, one per line, then a line "---", then
// the expected transcript. Lines starting with '#' are comments.
//
// Set-up (before launch): port N | delete-tds | delete-winstations | netsh-fault F |
//   start-services | standin SERVICE VALUE N | listen PORT | launch
// Through the window: type TEXT | clear | click apply|exit | close |
//   answer ok|yes|no|retry|cancel (waits for the next message box) |
//   wait-status PREFIX | settle MS | read current|new|status | expect-exit
// State, through other paths: check-registry | check-firewall |
//   check-listener PORT | check-netsh (the stand-in netsh's command log) |
//   check-service-log (the stand-ins' start and stop events, in order) |
//   check-connect PORT (a loopback connect from here: accepted or refused) |
//   check-processes EXE (how many run) | kill EXE
//
// Transcript events: "status TEXT" for every change of the status line,
// "box CAPTION | ICON | BUTTONS | OWNER | TEXT" (OWNER: main for the main
// window, none, or other) and "answer X" for every message box, and one
// line for each read, check and the exit code.
#include "sockets.h"

#include <iphlpapi.h>

#include "app.h"
#include "capture.h"
#include "check.h"
#include "prefix.h"
#include "wait.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace {

App g_app;
std::vector<std::wstring> g_transcript;
std::wstring g_lastStatus;
std::vector<SOCKET> g_listeners;
std::vector<HWND> g_answered;

// The lines of text without their line ends ("\n" or "\r\n"); a last line
// without one counts too.
template <typename String>
std::vector<String> SplitLines(const String& text)
{
    std::vector<String> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find(typename String::value_type('\n'), at);
        if (nl == String::npos)
            nl = text.size();
        String line = text.substr(at, nl - at);
        if (!line.empty() && line.back() == typename String::value_type('\r'))
            line.pop_back();
        lines.push_back(line);
        at = nl + 1;
    }
    return lines;
}

std::wstring FromUtf8(const std::string& s)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}

std::wstring Escape(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L"\\n";
        else if (c != L'\r')
            out += c;
    }
    return out;
}

void Record(const std::wstring& line)
{
    g_transcript.push_back(line);
    PrintLine(L"  > " + line);
}

// Looks at the status line without asking the program's thread.
void SampleStatus()
{
    if (!g_app.hwnd || !IsWindow(g_app.hwnd))
        return;
    // The program never clears the status line; an empty text means the
    // window is going away under this look.
    const std::wstring now = TextOf(Control(g_app, 1005));
    if (!now.empty() && now != g_lastStatus) {
        g_lastStatus = now;
        Record(L"status " + Escape(now));
    }
}

// Waits ms while sampling the status line every 10 ms; stops early when
// done() says so.
template <typename Done>
bool Watch(DWORD ms, Done done)
{
    return WaitUntil(ms, 10, [&] {
        SampleStatus();
        return done();
    });
}

void Settle(DWORD ms)
{
    Watch(ms, [] { return false; });
}

// The box's visible buttons, in the order the flags name them.
std::wstring BoxButtons(HWND box)
{
    struct Button {
        int id;
        const wchar_t* name;
    } buttons[] = {{IDOK, L"ok"}, {IDYES, L"yes"}, {IDNO, L"no"}, {IDRETRY, L"retry"}, {IDCANCEL, L"cancel"}};
    std::wstring out;
    for (const Button& b : buttons) {
        HWND h = GetDlgItem(box, b.id);
        if (h && IsWindowVisible(h))
            out += (out.empty() ? L"" : L" ") + std::wstring(b.name);
    }
    return out.empty() ? L"(no button)" : out;
}

std::wstring BoxOwner(HWND box)
{
    const HWND owner = GetWindow(box, GW_OWNER);
    return owner == nullptr ? L"none" : owner == g_app.hwnd ? L"main" : L"other";
}

HWND NewBox()
{
    HWND box = WaitForBox(g_app, 0);
    if (box && std::find(g_answered.begin(), g_answered.end(), box) != g_answered.end() && IsWindowVisible(box))
        return nullptr;
    return box;
}

bool Answer(const std::wstring& answer)
{
    struct Button {
        const wchar_t* name;
        int id;
    } buttons[] = {{L"ok", IDOK}, {L"yes", IDYES}, {L"no", IDNO}, {L"retry", IDRETRY}, {L"cancel", IDCANCEL}};
    int id = 0;
    for (const Button& b : buttons) {
        if (answer == b.name)
            id = b.id;
    }
    HWND box = nullptr;
    if (!Watch(300000, [&] { return (box = NewBox()) != nullptr; })) {
        Record(L"no box to answer " + answer);
        return false;
    }
    Record(L"box " + TextOf(box) + L" | " + BoxIcon(box) + L" | " + BoxButtons(box) + L" | " + BoxOwner(box) +
           L" | " + Escape(BoxText(box)));
    g_answered.push_back(box);
    AnswerBox(box, id);
    Watch(10000, [&] { return !IsWindow(box) || !IsWindowVisible(box); });
    Record(L"answer " + answer);
    return true;
}

// A key press as the keyboard delivers it: down and up, with the program's
// own TranslateMessage making the character, so the field's digits-only
// rule sees what a typist would produce.
void PostKey(HWND field, wchar_t ch)
{
    const WPARAM vk = LOBYTE(VkKeyScanW(ch));
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(field, WM_KEYDOWN, vk, scan | 1);
    PostMessageW(field, WM_KEYUP, vk, scan | 1 | (1 << 30) | (1u << 31));
}

std::wstring RegistryLine()
{
    auto show = [](const wchar_t* path) {
        long long v = RawPortNumber(path);
        return v < 0 ? std::wstring(L"missing") : std::to_wstring(v);
    };
    return L"registry WinStations=" + show(kWinStationsPath) + L" Tds=" + show(kTdsPath);
}

void RecordFirewall()
{
    std::vector<std::wstring> lines;
    for (const std::wstring& rule : SplitLines(FirewallStore())) {
        auto field = [&](const wchar_t* key) {
            const std::wstring k = std::wstring(L"|") + key + L"=";
            size_t p = rule.find(k);
            if (p == std::wstring::npos)
                return std::wstring(L"?");
            p += k.size();
            return rule.substr(p, rule.find(L'|', p) - p);
        };
        const std::wstring proto = field(L"Protocol");
        lines.push_back(L"firewall " + std::wstring(proto == L"6" ? L"TCP" : proto == L"17" ? L"UDP" : proto) + L" " +
                        field(L"LPort") + L" " + field(L"Name"));
    }
    std::sort(lines.begin(), lines.end());
    if (lines.empty())
        Record(L"firewall none");
    for (const std::wstring& l : lines)
        Record(l);
}

// The stand-in netsh's command lines as "netsh VERB [PROTOCOL]".
void RecordNetshLog()
{
    const std::vector<std::string> lines = SplitLines(ReadWholeFile(kNetshLog));
    const std::string prefix = "netsh.exe advfirewall firewall ";
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) != 0) {
            Record(L"netsh other: " + std::wstring(line.begin(), line.end()));
            continue;
        }
        const std::string verb = line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
        std::string event = "netsh " + verb;
        for (const char* protocol : {"TCP", "UDP"}) {
            if (line.find(std::string("protocol=") + protocol) != std::string::npos)
                event += std::string(" ") + protocol;
        }
        Record(std::wstring(event.begin(), event.end()));
    }
    if (lines.empty())
        Record(L"netsh nothing run");
}

// The stand-ins' "start" and "stopped" events; their "running" lines may
// interleave with another service's start and are left out.
void RecordServiceLog()
{
    for (const std::string& line : SplitLines(ReadWholeFile(kServiceLog))) {
        const size_t sp = line.find(' ');
        const std::string event = sp == std::string::npos ? line : line.substr(sp + 1);
        if (event == "start" || event == "stopped")
            Record(L"service " + std::wstring(line.begin(), line.end()));
    }
}

// The same question asked of Linux: Wine's sockets are this machine's.
// Wine starts a Linux program but gives no handle to wait on, so the answer
// is awaited as a file that appears whole.
std::wstring LinuxListens(unsigned short port)
{
    const std::wstring out = ModuleDirectory() + L"\\artifacts\\ss.txt";
    std::wstring unixOut = out.substr(2);
    std::replace(unixOut.begin(), unixOut.end(), L'\\', L'/');
    DeleteFileW(out.c_str());
    const std::wstring cmd = L"/bin/sh -c \"ss -Hltn 'sport = :" + std::to_wstring(port) + L"' > '" + unixOut +
                             L".part' && mv '" + unixOut + L".part' '" + unixOut + L"'\"";
    std::wstring line = cmd;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return L"unknown";
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    for (int i = 0; i < 250 && GetFileAttributesW(out.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(20);
    if (GetFileAttributesW(out.c_str()) == INVALID_FILE_ATTRIBUTES)
        return L"unknown";
    return ReadWholeFile(out.c_str()).find("LISTEN") != std::string::npos ? L"yes" : L"no";
}

bool Act(const std::wstring& line)
{
    const size_t sp = line.find(L' ');
    const std::wstring verb = line.substr(0, sp);
    const std::wstring arg = sp == std::wstring::npos ? std::wstring() : line.substr(sp + 1);
    PrintLine(L"- " + line);

    if (verb == L"port") {
        ResetPortKeys(static_cast<DWORD>(_wtoi(arg.c_str())));
    } else if (verb == L"delete-tds") {
        DeleteTree(kTdsPath);
    } else if (verb == L"delete-winstations") {
        DeleteTree(kWinStationsPath);
    } else if (verb == L"netsh-fault") {
        SetNetshFault(arg.c_str());
    } else if (verb == L"standin") {
        wchar_t svc[64], value[64];
        DWORD n = 0;
        if (swscanf(arg.c_str(), L"%63ls %63ls %lu", svc, value, &n) != 3)
            return false;
        SetStandIn(svc, value, n);
    } else if (verb == L"start-services") {
        if (!StartChainServices())
            return false;
    } else if (verb == L"listen") {
        SOCKET s = ListenTcp4(htonl(INADDR_ANY), static_cast<unsigned short>(_wtoi(arg.c_str())));
        if (s == INVALID_SOCKET)
            return false;
        g_listeners.push_back(s);
    } else if (verb == L"launch") {
        if (!LaunchApp(g_app))
            return false;
        g_lastStatus = TextOf(Control(g_app, 1005));
    } else if (verb == L"type") {
        HWND field = Control(g_app, 1002);
        for (wchar_t ch : arg)
            PostKey(field, ch);
        Settle(100);
    } else if (verb == L"clear") {
        SendMessageW(Control(g_app, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    } else if (verb == L"click") {
        Click(Control(g_app, arg == L"exit" ? 1004 : 1003));
        Settle(50);
    } else if (verb == L"close") {
        PostMessageW(g_app.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        Settle(50);
    } else if (verb == L"answer") {
        return Answer(arg);
    } else if (verb == L"wait-status") {
        if (!Watch(120000, [&] { return g_lastStatus.compare(0, arg.size(), arg) == 0; }))
            Record(L"status never began with " + arg);
    } else if (verb == L"settle") {
        Settle(static_cast<DWORD>(_wtoi(arg.c_str())));
    } else if (verb == L"read") {
        if (arg == L"current")
            Record(L"current " + FieldText(Control(g_app, 1001)));
        else if (arg == L"new")
            Record(L"new " + FieldText(Control(g_app, 1002)));
        else
            Record(L"status-now " + Escape(TextOf(Control(g_app, 1005))));
    } else if (verb == L"expect-exit") {
        long code = -1;
        // Anything shown meanwhile is recorded and dismissed.
        Watch(30000, [&] {
            if (HWND box = NewBox()) {
                Record(L"unexpected box " + TextOf(box) + L" | " + Escape(BoxText(box)));
                g_answered.push_back(box);
                AnswerBox(box, IDOK);
            }
            return (code = WaitAppExit(g_app, 0)) != -1;
        });
        Record(L"exit " + std::to_wstring(code));
    } else if (verb == L"check-registry") {
        Record(RegistryLine());
    } else if (verb == L"check-firewall") {
        RecordFirewall();
    } else if (verb == L"check-netsh") {
        RecordNetshLog();
    } else if (verb == L"check-service-log") {
        RecordServiceLog();
    } else if (verb == L"check-connect") {
        Record(L"connect " + arg + L" " +
               (ConnectsLocal(static_cast<unsigned short>(_wtoi(arg.c_str()))) ? L"accepted" : L"refused"));
    } else if (verb == L"check-processes") {
        Record(L"processes " + arg + L" " + std::to_wstring(CountProcesses(arg.c_str())));
    } else if (verb == L"kill") {
        KillProcesses(arg.c_str());
    } else if (verb == L"check-listener") {
        const unsigned short port = static_cast<unsigned short>(_wtoi(arg.c_str()));
        Record(L"listener " + arg + L" table=" + (InListenerTable(port) ? L"yes" : L"no") + L" linux=" +
               LinuxListens(port));
    } else {
        Record(L"unknown action " + line);
        return false;
    }
    return true;
}

bool ReadScenario(const wchar_t* path, std::vector<std::wstring>& actions, std::vector<std::wstring>& expected)
{
    const std::string raw = ReadWholeFile(path);
    if (raw.empty())
        return false;
    bool inExpected = false;
    for (std::wstring line : SplitLines(FromUtf8(raw))) {
        while (!line.empty() && line.back() == L' ')
            line.pop_back();
        if (line.empty() || line[0] == L'#')
            continue;
        if (line == L"---") {
            inExpected = true;
            continue;
        }
        (inExpected ? expected : actions).push_back(line);
    }
    return inExpected;
}

std::wstring BaseName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

void SaveTranscript(const std::wstring& name)
{
    const std::wstring dir = ModuleDirectory() + L"\\artifacts";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\e2e").c_str(), nullptr);
    std::string text;
    for (const std::wstring& line : g_transcript)
        text += ToUtf8(line) + "\n";
    HANDLE h = CreateFileW((dir + L"\\e2e\\" + name + L".transcript").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
    }
}

} // namespace

const wchar_t kVersionKey[] = L"Software\\Wine\\AppDefaults\\ZelvorTarnwick.exe";

// The Windows version Wine reports to the program; empty: the prefix's own.
bool SetProgramVersion(const std::wstring& version)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kVersionKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = version.empty() ? RegDeleteValueW(hKey, L"Version")
                              : RegSetValueExW(hKey, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                                               static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
    return version.empty() || rc == ERROR_SUCCESS;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argc > 3) {
        printf("usage: ui_driver SCENARIO-FILE [WINVER]\n");
        return 2;
    }
    std::vector<std::wstring> actions, expected;
    const std::wstring version = argc == 3 ? argv[2] : L"";
    const std::wstring name = BaseName(argv[1]) + (version.empty() ? L"" : L"-" + version);
    if (!ReadScenario(argv[1], actions, expected)) {
        PrintLine(L"cannot read scenario " + std::wstring(argv[1]));
        return 2;
    }
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    ResetWorld();

    const ULONGLONG started = GetTickCount64();
    bool ok = SetProgramVersion(version);
    if (!ok)
        PrintLine(L"cannot set the program's Windows version to " + version);
    for (const std::wstring& action : actions) {
        if (!ok)
            break;
        if (!Act(action)) {
            PrintLine(L"action failed: " + action);
            ok = false;
            break;
        }
    }
    CloseApp(g_app);
    for (SOCKET s : g_listeners)
        closesocket(s);
    SetProgramVersion(L"");
    ResetWorld();
    WSACleanup();
    SaveTranscript(name);

    const std::string label = ToUtf8(name);
    BeginCase(label.c_str());
    bool same = CHECK(ok);
    const size_t n = std::max(expected.size(), g_transcript.size());
    for (size_t i = 0; i < n; ++i) {
        const std::wstring want = i < expected.size() ? expected[i] : L"(nothing)";
        const std::wstring got = i < g_transcript.size() ? g_transcript[i] : L"(nothing)";
        if (!CHECK_EQ(want, got)) {
            printf("  at transcript line %u\n", static_cast<unsigned>(i + 1));
            same = false;
        }
    }
    printf("%s %s (%.1f s)\n", same ? "PASS" : "FAIL", label.c_str(), (GetTickCount64() - started) / 1000.0);
    return TestSummary(label.c_str());
}
