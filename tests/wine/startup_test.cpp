// wWinMain's start-up decisions. Under Wine every process is a member of
// Administrators, so the elevation calls are faked at link time here, and
// the real RelaunchElevated runs in a helper (relaunch_probe.exe) from a
// short and from an over-long folder. Also: after wWinMain a DLL loaded by
// bare name comes from the system directory only.
#include "app.h"
#include "check.h"
#include "prefix.h"
#include "../../shell/elevation.h"
#include "../../shell/window.h"

#include <initializer_list>
#include <string>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow);

namespace {

bool g_member = true;
bool g_elevated = true;
bool g_relaunchStarts = true;
int g_relaunchCalls = 0;

// What the watcher saw while wWinMain ran.
struct Seen {
    std::wstring boxText, boxCaption, boxIcon;
    bool boxOwned = false;
    bool boxHasCancel = false;
    int boxes = 0;
    bool window = false;
};
Seen g_seen;
volatile LONG g_watching = 0;

// Answers the refusal box, closes the main window, and ends a start-up
// that hangs.
DWORD WINAPI Watcher(LPVOID)
{
    const ULONGLONG end = GetTickCount64() + 15000;
    while (g_watching) {
        if (HWND box = WaitForBoxOf(GetCurrentProcessId(), 0)) {
            ++g_seen.boxes;
            g_seen.boxText = BoxText(box);
            g_seen.boxCaption = TextOf(box);
            g_seen.boxOwned = GetWindow(box, GW_OWNER) != nullptr;
            g_seen.boxHasCancel = GetDlgItem(box, IDCANCEL) != nullptr || GetDlgItem(box, IDNO) != nullptr;
            g_seen.boxIcon = BoxIcon(box);
            AnswerBox(box, IDOK);
            Sleep(300);
        }
        HWND main = FindWindowW(kWindowClass, nullptr);
        if (main && IsWindowVisible(main)) {
            g_seen.window = true;
            PostMessageW(main, WM_CLOSE, 0, 0);
            Sleep(300);
        }
        if (GetTickCount64() > end) {
            printf("FAILED: wWinMain did not return within 15 s\n");
            fflush(stdout);
            ExitProcess(1);
        }
        Sleep(20);
    }
    return 0;
}

int RunStartup()
{
    g_seen = Seen();
    g_relaunchCalls = 0;
    InterlockedExchange(&g_watching, 1);
    HANDLE watcher = CreateThread(nullptr, 0, Watcher, nullptr, 0, nullptr);
    const int rc = wWinMain(GetModuleHandleW(nullptr), nullptr, const_cast<LPWSTR>(L""), SW_SHOWNORMAL);
    InterlockedExchange(&g_watching, 0);
    WaitForSingleObject(watcher, 5000);
    CloseHandle(watcher);
    return rc;
}

void Decisions()
{
    struct Case {
        int line;
        const char* name;
        bool member, elevated, relaunchStarts;
        int relaunchCalls;
        bool refusal, window;
    } cases[] = {
        {__LINE__, "a member: the window, no relaunch, no message", true, false, true, 0, false, true},
        {__LINE__, "not a member: one relaunch, and this process ends quietly", false, false, true, 1, false, false},
        {__LINE__, "not a member and the relaunch refused: the refusal once", false, false, false, 1, true, false},
        {__LINE__, "elevated but no member: the refusal, no relaunch chain", false, true, true, 0, true, false},
    };
    for (const Case& c : cases) {
        BeginCase(c.name);
        g_member = c.member;
        g_elevated = c.elevated;
        g_relaunchStarts = c.relaunchStarts;
        CHECK_EQ_AT(c.line, 0, RunStartup());
        CHECK_EQ_AT(c.line, c.relaunchCalls, g_relaunchCalls);
        CHECK_EQ_AT(c.line, c.window, g_seen.window);
        CHECK_EQ_AT(c.line, c.refusal ? 1 : 0, g_seen.boxes);
        if (c.refusal) {
            CHECK_EQ_AT(c.line, std::wstring(L"本工具需要管理员权限, 请右键以管理员身份运行。"), g_seen.boxText);
            CHECK_EQ_AT(c.line, std::wstring(L"权限不足"), g_seen.boxCaption);
            CHECK_EQ_AT(c.line, std::wstring(L"warning"), g_seen.boxIcon);
            CHECK_AT(c.line, !g_seen.boxOwned);
            CHECK_AT(c.line, !g_seen.boxHasCancel);
        }
        UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
    }
}

LRESULT CALLBACK RefuseCreate(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return msg == WM_CREATE ? -1 : DefWindowProcW(hwnd, msg, wParam, lParam);
}

void NoWindow()
{
    BeginCase("a start-up that gets no window ends with 0 instead of waiting");
    // The class is taken by one whose windows refuse to be created, so
    // wWinMain's registration fails and so does its window.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RefuseCreate;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    CHECK(RegisterClassW(&wc) != 0);
    g_member = true;
    const ULONGLONG t = GetTickCount64();
    CHECK_EQ(0, RunStartup());
    CHECK(GetTickCount64() - t < 5000);
    CHECK(!g_seen.window);
    UnregisterClassW(kWindowClass, wc.hInstance);
}

// zv_search_marker.dll is built beside this program; a copy goes into
// another folder, made the current directory. Neither is in the system
// directory. The check runs first: the setting lasts for the process.
void DllSearchAfterStartUp()
{
    BeginCase("before wWinMain: a DLL beside the program and one in the current directory load by bare name");
    const wchar_t cwd[] = L"C:\\zvtest\\cwd";
    CreateDirectoryW(cwd, nullptr);
    CHECK(CopyFileW((ModuleDirectory() + L"\\zv_search_marker.dll").c_str(), L"C:\\zvtest\\cwd\\zv_cwd_marker.dll",
                    FALSE));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(ARRAYSIZE(previous), previous);
    SetCurrentDirectoryW(cwd);
    for (const wchar_t* name : {L"zv_search_marker.dll", L"zv_cwd_marker.dll"}) {
        HMODULE h = LoadLibraryW(name);
        if (!CHECK(h != nullptr))
            PrintLine(std::wstring(L"  not loaded: ") + name);
        else
            FreeLibrary(h);
    }

    BeginCase("after wWinMain: neither is found; only the system directory is searched");
    g_member = true;
    CHECK_EQ(0, RunStartup());
    UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
    for (const wchar_t* name : {L"zv_search_marker.dll", L"zv_cwd_marker.dll"}) {
        HMODULE h = LoadLibraryW(name);
        if (!CHECK(h == nullptr)) {
            PrintLine(std::wstring(L"  loaded: ") + name);
            FreeLibrary(h);
        }
    }
    CHECK(GetModuleHandleW(L"kernel32.dll") != nullptr);
    HMODULE system = LoadLibraryW(L"dwmapi.dll"); // a system DLL still loads by bare name
    CHECK(system != nullptr);
    if (system)
        FreeLibrary(system);
    SetCurrentDirectoryW(previous);
    DeleteFileW(L"C:\\zvtest\\cwd\\zv_cwd_marker.dll");
}

const wchar_t kResult[] = L"C:\\zvtest\\relaunch-result.txt";
const wchar_t kRelaunched[] = L"C:\\zvtest\\relaunched.txt";

// Waits for the helper's verdict and for its relaunched copy, if any.
std::string AwaitRelaunch()
{
    for (int i = 0; i < 300 && GetFileAttributesW(kResult) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    const std::string result = ReadWholeFile(kResult);
    for (int i = 0; result == "started" && i < 100 && GetFileAttributesW(kRelaunched) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    Sleep(500); // a copy that should not run has had its chance
    return result;
}

void RealRelaunch()
{
    BeginCase("the real relaunch starts the program again with runas");
    RemoveFile(kResult);
    RemoveFile(kRelaunched);
    CreateDirectoryW(L"C:\\zvtest\\short", nullptr);
    const std::wstring exe = L"C:\\zvtest\\short\\relaunch_probe.exe";
    CHECK(CopyFileW((ModuleDirectory() + L"\\relaunch_probe.exe").c_str(), exe.c_str(), FALSE));
    CHECK_EQ(0L, RunProcess(L"\"" + exe + L"\" relaunch", 15000));
    CHECK_EQ(std::string("started"), AwaitRelaunch());
    CHECK(GetFileAttributesW(kRelaunched) != INVALID_FILE_ATTRIBUTES);

    BeginCase("a program path that does not fit 260 characters is not relaunched");
    // Windows programs here cannot start one from so deep a folder; Wine's
    // own loader, started as a Linux program from inside it, can.
    RemoveFile(kResult);
    RemoveFile(kRelaunched);
    std::wstring deep = ModuleDirectory() + L"\\artifacts";
    CreateDirectoryW(deep.c_str(), nullptr);
    deep += L"\\deep";
    CreateDirectoryW(deep.c_str(), nullptr);
    while (deep.size() < 280) {
        deep += L"\\" + std::wstring(40, L'd');
        CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
    }
    CHECK(CopyFileW((ModuleDirectory() + L"\\relaunch_probe.exe").c_str(),
                    (L"\\\\?\\" + deep + L"\\relaunch_probe.exe").c_str(), FALSE));
    std::wstring unixDeep = deep.substr(2); // Z: is the Linux root
    for (wchar_t& c : unixDeep)
        c = c == L'\\' ? L'/' : c;
    std::wstring cmd = L"/bin/sh -c \"cd '" + unixDeep + L"' && exec /usr/lib/wine/wine64 ./relaunch_probe.exe relaunch\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CHECK(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    CHECK_EQ(std::string("refused"), AwaitRelaunch());
    CHECK(GetFileAttributesW(kRelaunched) == INVALID_FILE_ATTRIBUTES);
    RemoveFile(kResult);
    RemoveFile(kRelaunched);
}

} // namespace

bool IsAdminMember()
{
    return g_member;
}

bool IsElevated()
{
    return g_elevated;
}

bool RelaunchElevated()
{
    ++g_relaunchCalls;
    return g_relaunchStarts;
}

int wmain()
{
    DllSearchAfterStartUp();
    Decisions();
    NoWindow();
    RealRelaunch();
    return TestSummary("startup_test");
}
