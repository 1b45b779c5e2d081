// Starts the program at the given path and checks that it shows its main
// window with its title, then closes it; for executables made elsewhere,
// such as the signed release.
//   shows_window.exe PATH
#include "app.h"
#include "check.h"

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        PrintLine(L"usage: shows_window.exe PATH");
        return 2;
    }
    BeginCase("the program at the path shows its window and closes");
    App app;
    if (CHECK(LaunchAppFrom(app, argv[1], nullptr))) {
        const std::wstring title = TextOf(app.hwnd);
        PrintLine(L"title: " + title);
        CHECK_EQ(std::wstring(L"Zelvor - Tarnwick - zvnet.example"), title);
        CHECK_EQ(std::wstring(L"准备就绪, 点击确认修改执行 RDP 端口变更操作"), TextOf(Control(app, 1005)));
        PostMessageW(app.hwnd, WM_CLOSE, 0, 0);
        CHECK_EQ(0L, WaitAppExit(app, 10000));
    }
    CloseApp(app);
    return TestSummary("shows_window");
}
