// The loader's own "system directory only" load; see sysload.h.
#include "sysload.h"

#include <windows.h>

void* LoadLibrarySearchSystem32(const wchar_t* name)
{
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}
