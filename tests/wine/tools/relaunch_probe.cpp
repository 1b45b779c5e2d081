// Helper of startup_test: the real RelaunchElevated, run from a folder of
// the test's choosing. "relaunch_probe relaunch" asks for the elevated copy,
// writes "started" or "refused" to C:\zvtest\relaunch-result.txt and exits
// 0 or 3; the copy, started without arguments, only leaves
// C:\zvtest\relaunched.txt behind.
#include "../../../shell/elevation.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        HANDLE h = CreateFileW(L"C:\\zvtest\\relaunched.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return 0;
    }
    const bool started = lstrcmpW(argv[1], L"relaunch") == 0 && RelaunchElevated();
    HANDLE h = CreateFileW(L"C:\\zvtest\\relaunch-result.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, started ? "started" : "refused", 7, &written, nullptr);
        CloseHandle(h);
    }
    return started ? 0 : 3;
}
