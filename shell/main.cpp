// Start-up: administrator check with elevated relaunch, the main window and
// the message loop.
#include "window.h"

#include "../adapters/probes.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

// True when the Administrators group is present and enabled in the token,
// which under UAC means an elevated administrator.
bool IsAdminMember()
{
    BOOL isMember = FALSE;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID adminGroup = nullptr;
    if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                 0, 0, 0, 0, 0, 0, &adminGroup)) {
        CheckTokenMembership(nullptr, adminGroup, &isMember);
        FreeSid(adminGroup);
    }
    return isMember == TRUE;
}

// An elevated process that still is no member would only relaunch itself
// again and again.
bool IsElevated()
{
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD dwSize = 0;
    BOOL ok = GetTokenInformation(hToken, TokenElevation, &elevation, sizeof elevation, &dwSize);
    CloseHandle(hToken);
    return ok && elevation.TokenIsElevated != 0;
}

// True when the elevated copy was started. A path that did not fit the
// buffer is not used: it would name some other file.
bool RelaunchElevated()
{
    wchar_t path[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return false;
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof sei;
    sei.lpVerb = L"runas";
    sei.lpFile = path;
    sei.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&sei) != FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow)
{
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);

    if (!IsAdminMember()) {
        if (IsElevated() || !RelaunchElevated())
            MessageBoxW(nullptr, L"本工具需要管理员权限, 请右键以管理员身份运行。", L"权限不足", MB_OK | MB_ICONWARNING);
        return 0;
    }

    StartSockets();

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);

    HWND hwnd = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 420, 280, nullptr, nullptr, hInstance, nullptr);
    // Without a window nothing would ever post the quit message.
    if (hwnd) {
        ShowWindow(hwnd, nCmdShow);
        UpdateWindow(hwnd);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    StopSockets();
    return 0;
}
