// Loading a DLL from the system directory alone with the loader's own flag.
// Apart from the probes so that a test can refuse it, as Windows 7 and
// Server 2008 R2 without KB2533623 do.
#pragma once

#include <windows.h>

// LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32); the last
// error is the loader's (ERROR_INVALID_PARAMETER where the flag is unknown).
HMODULE LoadLibrarySearchSystem32(const wchar_t* name);
