// Conversion of the new-port field's text to a port number.
#pragma once

// The number that wcstoul(text, nullptr, 10) gives where unsigned long has
// 32 bits. The Windows build calls the runtime itself; elsewhere the portable
// conversion below stands in for it.
unsigned long ConvertPortText(const wchar_t* text);

// Same result as the 32-bit wcstoul for ASCII text: blanks skipped, one
// optional sign (a minus negates modulo 2^32), digits up to the first
// non-digit, 4294967295 on overflow, 0 when no digit follows.
unsigned long ConvertPortTextPortable(const wchar_t* text);
