// Driving the real program from another process.
#include "app.h"

#include "capture.h"
#include "prefix.h"
#include "wait.h"

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
    GetClassNameW(hwnd, cls, ARRAYSIZE(cls));
    if (pid == search->pid && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The message box icon by its pixels: system icon handles differ between
// processes, their images do not.
std::wstring BoxIconOnce(HWND box)
{
    HWND icon = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(child, cls, ARRAYSIZE(cls));
        if (lstrcmpiW(cls, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            icon = child;
    }
    if (!icon)
        return L"none";
    RECT r;
    GetWindowRect(icon, &r);
    r.right = r.left + 32;
    r.bottom = r.top + 32;
    Capture shown;
    if (!CaptureScreen(r, shown))
        return L"unreadable";
    struct Ref {
        LPCWSTR id;
        const wchar_t* name;
    } refs[] = {{IDI_HAND, L"error"}, {IDI_EXCLAMATION, L"warning"}, {IDI_ASTERISK, L"information"},
                {IDI_QUESTION, L"question"}};
    const wchar_t* best = L"unknown";
    int bestDiff = 32 * 32 / 4; // no more than a quarter of the pixels off
    for (const Ref& ref : refs) {
        HDC screen = GetDC(nullptr);
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, 32, 32);
        HGDIOBJ old = SelectObject(mem, bmp);
        HBRUSH back = CreateSolidBrush(shown.At(31, 31));
        RECT all = {0, 0, 32, 32};
        FillRect(mem, &all, back);
        DeleteObject(back);
        DrawIconEx(mem, 0, 0, LoadIconW(nullptr, ref.id), 32, 32, 0, nullptr, DI_NORMAL);
        Capture drawn;
        CaptureDC(mem, 0, 0, 32, 32, drawn);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
        int diff = 0;
        for (size_t i = 0; i < drawn.pixels.size(); ++i)
            diff += drawn.pixels[i] != shown.pixels[i];
        if (diff < bestDiff) {
            bestDiff = diff;
            best = ref.name;
        }
    }
    return best;
}

} // namespace

bool LaunchApp(App& app)
{
    return LaunchAppFrom(app, ModuleDirectory() + L"\\ZelvorTarnwick.exe", nullptr);
}

bool LaunchAppFrom(App& app, const std::wstring& exe, const wchar_t* currentDirectory)
{
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, currentDirectory, &si, &app.pi))
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
    GetWindowTextW(hwnd, text, ARRAYSIZE(text));
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
    return WaitForBoxOf(app.pi.dwProcessId, timeoutMs);
}

HWND WaitForBoxOf(DWORD pid, DWORD timeoutMs)
{
    BoxSearch search = {pid, nullptr};
    WaitUntil(timeoutMs, 20, [&] {
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
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

// Read again until an icon matches, for a box that has only just been shown.
std::wstring BoxIcon(HWND box)
{
    std::wstring icon;
    WaitUntil(3000, 20, [&] {
        icon = BoxIconOnce(box);
        return icon != L"unknown" && icon != L"unreadable";
    });
    return icon;
}
