// Looks at the running program's window from inside its Wine prefix, for
// the browser test, which drives the program through a VNC view and needs
// to know where things are and what the status line says. Prints one line
// per fact, in UTF-8; coordinates are screen pixels.
//   window_probe.exe where         "client X Y": the main window's client origin
//   window_probe.exe watch MS      "status TEXT" at every change of the status
//                                  line, until a message box is shown:
//                                  "box CAPTION | X Y" (the centre of its OK
//                                  button); "timeout" after MS
#include "app.h"
#include "check.h"
#include "wait.h"

#include <cwchar>
#include <string>

namespace {

HWND MainWindow()
{
    return FindWindowW(L"ZvRdpPortWnd", nullptr);
}

int Where()
{
    HWND main = MainWindow();
    if (!main) {
        PrintLine(L"no window");
        return 1;
    }
    POINT origin = {0, 0};
    ClientToScreen(main, &origin);
    PrintLine(L"client " + std::to_wstring(origin.x) + L" " + std::to_wstring(origin.y));
    return 0;
}

int Watch(DWORD ms)
{
    std::wstring last;
    const bool boxShown = WaitUntil(ms, 10, [&] {
        HWND main = MainWindow();
        if (!main)
            return false;
        const std::wstring now = TextOf(GetDlgItem(main, 1005));
        if (!now.empty() && now != last) {
            last = now;
            PrintLine(L"status " + now);
        }
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        HWND box = WaitForBoxOf(pid, 0);
        if (!box)
            return false;
        RECT ok = {};
        GetWindowRect(GetDlgItem(box, IDOK), &ok);
        PrintLine(L"box " + TextOf(box) + L" | " + std::to_wstring((ok.left + ok.right) / 2) + L" " +
                  std::to_wstring((ok.top + ok.bottom) / 2));
        return true;
    });
    if (!boxShown)
        PrintLine(L"timeout");
    return boxShown ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring what = argc > 1 ? argv[1] : L"";
    const DWORD ms = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 10000;
    if (what == L"where")
        return Where();
    if (what == L"watch")
        return Watch(ms);
    PrintLine(L"usage: window_probe.exe where | watch MS");
    return 2;
}
