// Formatting into the fixed wide buffers of the Apply command.
#pragma once

#include <cstddef>

// _snwprintf into buffer, at most count characters; the text always ends in
// a NUL, even when it had to be cut.
void FormatText(wchar_t* buffer, size_t count, const wchar_t* format, ...);
