// Conversion of the new-port field's text to a port number.
#include "portconv.h"

#include <cwchar>

namespace {

const unsigned long long kMaxValue = 0xFFFFFFFFull;

bool IsBlank(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

} // namespace

unsigned long ConvertPortTextPortable(const wchar_t* text)
{
    const wchar_t* p = text;
    while (IsBlank(*p))
        ++p;

    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = (*p == L'-');
        ++p;
    }
    if (!IsDigit(*p))
        return 0;

    unsigned long long value = 0;
    bool overflow = false;
    for (; IsDigit(*p); ++p) {
        if (overflow)
            continue;
        value = value * 10 + static_cast<unsigned long long>(*p - L'0');
        overflow = value > kMaxValue;
    }
    if (overflow)
        return static_cast<unsigned long>(kMaxValue);
    if (negative)
        value = (kMaxValue + 1 - value) & kMaxValue;
    return static_cast<unsigned long>(value);
}

unsigned long ConvertPortText(const wchar_t* text)
{
#ifdef _WIN32
    static_assert(sizeof(unsigned long) == 4, "the runtime's conversion must saturate at 32 bits");
    return wcstoul(text, nullptr, 10);
#else
    return ConvertPortTextPortable(text);
#endif
}
