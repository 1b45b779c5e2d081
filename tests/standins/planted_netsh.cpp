// A netsh.exe that must never run: tests plant it beside the program and in
// the current directory. It records that it ran in C:\zvtest\planted.txt.
#include <windows.h>

int wmain()
{
    CreateDirectoryW(L"C:\\zvtest", nullptr);
    HANDLE h = CreateFileW(L"C:\\zvtest\\planted.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, "ran\r\n", 5, &written, nullptr);
        CloseHandle(h);
    }
    return 0;
}
