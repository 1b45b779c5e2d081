// Start-up: administrator check with elevated relaunch, the main window and
// the message loop.
#include "elevation.h"
#include "window.h"

#include "../adapters/probes.h"

#include <commctrl.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// The program runs elevated, often from a download folder that others can
// write to. From here on every DLL that the system's own DLLs load (themes,
// composition and the like) comes from the system directory only, never
// from the program's folder or the current directory. Windows 7 without
// KB2533623 lacks the call; the program goes on without it.
void KeepDllSearchInSystemDirectory()
{
    HMODULE hKernel32 = GetModuleHandleW(L"kernel32.dll");
    if (!hKernel32)
        return;
    SetDefaultDllDirectoriesFn setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(hKernel32, "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow)
{
    KeepDllSearchInSystemDirectory();

    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);

    // An elevated process that still is no member would only relaunch
    // itself again and again; it is refused instead.
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

    HWND hwnd = CreateWindowExW(0, kWindowClass, kWindowTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                kWindowWidth, kWindowHeight, nullptr, nullptr, hInstance, nullptr);
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
