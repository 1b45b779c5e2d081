// Loading a DLL from the system directory alone with the loader's own flag.
// Apart from the probes so that a test can refuse it, as Windows 7 and
// Server 2008 R2 without KB2533623 do. Like every adapter header it names
// no Windows type: the module comes back as an opaque pointer.
#pragma once

// LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) as an HMODULE;
// the last error is the loader's (ERROR_INVALID_PARAMETER where the flag is
// unknown).
void* LoadLibrarySearchSystem32(const wchar_t* name);
