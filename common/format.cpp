// Bounded wide formatting into fixed buffers, for every layer of the program.
#include "format.h"

#include <cstdio>
#include <cwchar>

void FormatTextV(wchar_t* buffer, size_t count, const wchar_t* format, va_list args)
{
    if (count == 0)
        return;
#ifdef _WIN32
    _vsnwprintf(buffer, count, format, args);
#else
    vswprintf(buffer, count, format, args);
#endif
    buffer[count - 1] = L'\0';
}
