// Waiting for a condition in the Win32 tests, instead of sleeping a fixed
// time that a slow moment of this noisy machine can outlast.
#pragma once

#include <windows.h>

// Asks ready() at once and then every pollMs until it holds; false when
// timeoutMs passed first (ready() is asked once more at the end).
template <typename Ready>
bool WaitUntil(DWORD timeoutMs, DWORD pollMs, Ready ready)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (ready())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(pollMs);
    }
}
