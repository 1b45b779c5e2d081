// Bounded wide formatting into fixed buffers, for every layer of the program.
#pragma once

#include <cstdarg>
#include <cstddef>

// _vsnwprintf into buffer, at most count characters; the text always ends in
// a NUL, even when it had to be cut. Nothing is written when count is 0.
void FormatTextV(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);

// The same into a fixed array, whose size the compiler supplies.
template <size_t N>
void FormatText(wchar_t (&buffer)[N], const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatTextV(buffer, N, format, args);
    va_end(args);
}
