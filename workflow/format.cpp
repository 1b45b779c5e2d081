// Formatting into the fixed wide buffers of the Apply command.
#include "format.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

void FormatText(wchar_t* buffer, size_t count, const wchar_t* format, ...)
{
    if (count == 0)
        return;
    va_list args;
    va_start(args, format);
#ifdef _WIN32
    _vsnwprintf(buffer, count, format, args);
#else
    vswprintf(buffer, count, format, args);
#endif
    va_end(args);
    buffer[count - 1] = L'\0';
}
