// Driving the real program from another process.
#include "app.h"

#include "prefix.h"

namespace {

struct BoxSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (pid == search->pid && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool LaunchApp(App& app)
{
    std::wstring cmd = L"\"" + ModuleDirectory() + L"\\ZelvorTarnwick.exe\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &app.pi))
        return false;
    WaitForInputIdle(app.pi.hProcess, 10000);
    for (int i = 0; i < 200; ++i) {
        HWND hwnd = FindWindowW(L"ZvRdpPortWnd", nullptr);
        DWORD pid = 0;
        if (hwnd)
            GetWindowThreadProcessId(hwnd, &pid);
        if (hwnd && pid == app.pi.dwProcessId && IsWindowVisible(hwnd)) {
            app.hwnd = hwnd;
            Sleep(300); // let the first paint settle
            return true;
        }
        Sleep(50);
    }
    return false;
}

long WaitAppExit(App& app, DWORD timeoutMs)
{
    if (WaitForSingleObject(app.pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(app.pi.hProcess, &code);
    return static_cast<long>(code);
}

void CloseApp(App& app)
{
    if (!app.pi.hProcess)
        return;
    if (WaitForSingleObject(app.pi.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(app.pi.hProcess, 1);
        WaitForSingleObject(app.pi.hProcess, 5000);
    }
    CloseHandle(app.pi.hThread);
    CloseHandle(app.pi.hProcess);
    app = App();
}

HWND Control(const App& app, int id)
{
    return GetDlgItem(app.hwnd, id);
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return text;
}

std::wstring FieldText(HWND edit)
{
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &copied);
    return text;
}

HWND WaitForBox(const App& app, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        BoxSearch search = {app.pi.dwProcessId, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(100); // let it paint
            return search.found;
        }
        if (GetTickCount64() >= end)
            return nullptr;
        Sleep(20);
    }
}

std::wstring BoxText(HWND box)
{
    return TextOf(GetDlgItem(box, 0xFFFF));
}

void AnswerBox(HWND box, int id)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

void Click(HWND button)
{
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}
