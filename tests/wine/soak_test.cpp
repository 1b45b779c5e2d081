// Soak: 50 Apply commands in a row in one run of the program, alternating
// between two ports, against the stand-ins. Afterwards the program holds as
// many handles and GDI and USER objects as after the first command, and the
// registry, the firewall store and the listener agree on the last port.
#include "app.h"
#include "check.h"
#include "prefix.h"

#include <string>
#include <vector>

namespace {

int g_commands = 50; // a shorter run: soak_test.exe N

struct Counts {
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
};

Counts Measure(HANDLE process)
{
    Counts c;
    c.handles = ProcessHandleCount(process);
    c.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    c.user = GetGuiResources(process, GR_USEROBJECTS);
    return c;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1)
        g_commands = _wtoi(argv[1]);
    ResetWorld();
    CHECK(StartChainServices());

    App app;
    if (!CHECK(LaunchApp(app)))
        return TestSummary("soak_test");

    BeginCase("commands in a row, alternating between two ports");
    Counts first;
    int succeeded = 0;
    const ULONGLONG started = GetTickCount64();
    for (int i = 0; i < g_commands; ++i) {
        const unsigned short port = i % 2 == 0 ? 50123 : 50124;
        const std::wstring text = std::to_wstring(port);
        SendMessageW(Control(app, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        Click(Control(app, 1003));
        HWND box = WaitForBox(app, 90000);
        if (!CHECK(box != nullptr))
            break;
        const std::wstring said = BoxText(box);
        const bool ok = TextOf(box) == L"Zelvor-Tarnwick" && BoxIcon(box) == L"information" &&
                        said.find(L"新端口: " + text + L"\n") != std::wstring::npos &&
                        said.find(L"[OK] 远程桌面服务已重启, 新端口已在监听") != std::wstring::npos;
        if (!CHECK(ok))
            PrintLine(L"  command " + std::to_wstring(i + 1) + L": " + said);
        succeeded += ok;
        AnswerBox(box, IDOK);
        for (int w = 0; w < 200 && IsWindow(box); ++w)
            Sleep(20);
        Sleep(200); // the command returns to the message loop
        if (i == 0)
            first = Measure(app.pi.hProcess);
    }
    CHECK_EQ(g_commands, succeeded);
    printf("  %d commands in %.1f s\n", succeeded, (GetTickCount64() - started) / 1000.0);

    BeginCase("no handle, GDI or USER object left behind");
    const Counts last = Measure(app.pi.hProcess);
    printf("  after command 1: %lu handles, %lu GDI, %lu USER; after command %d: %lu, %lu, %lu\n", first.handles,
           first.gdi, first.user, g_commands, last.handles, last.gdi, last.user);
    CHECK(first.handles > 0);
    CHECK_EQ(static_cast<long long>(first.handles), static_cast<long long>(last.handles));
    if (first.gdi == 0 && first.user == 0)
        printf("  note: GetGuiResources reports nothing here\n");
    else {
        CHECK_EQ(static_cast<long long>(first.gdi), static_cast<long long>(last.gdi));
        CHECK_EQ(static_cast<long long>(first.user), static_cast<long long>(last.user));
    }

    BeginCase("registry, firewall store and listener agree on the last port");
    const unsigned short lastPort = g_commands % 2 ? 50123 : 50124;
    const unsigned short otherPort = lastPort == 50123 ? 50124 : 50123;
    const std::wstring lastText = std::to_wstring(lastPort);
    CHECK_EQ(lastText, FieldText(Control(app, 1001)));
    Click(Control(app, 1004));
    CHECK_EQ(0L, WaitAppExit(app, 10000));
    CloseApp(app);
    CHECK_EQ(static_cast<long long>(lastPort), RawPortNumber(kWinStationsPath));
    CHECK_EQ(static_cast<long long>(lastPort), RawPortNumber(kTdsPath));
    const std::wstring store = FirewallStore();
    CHECK_EQ(2, Occurrences(store, L"Name=RDP Custom Port (Kestrune)|"));
    CHECK_EQ(1, Occurrences(store, L"|Protocol=6|LPort=" + lastText + L"|"));
    CHECK_EQ(1, Occurrences(store, L"|Protocol=17|LPort=" + lastText + L"|"));
    CHECK(InListenerTable(lastPort));
    CHECK(!InListenerTable(otherPort));

    ResetWorld();
    return TestSummary("soak_test");
}
