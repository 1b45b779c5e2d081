// Start-up: administrator check with elevated relaunch, the main window and
// the message loop.
#include "elevation.h"
#include "window.h"

#include "../adapters/probes.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow)
{
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
