// A small check harness for the Win32 test programs run under Wine.
#include "check.h"

#include <windows.h>

#include <cstdio>

namespace {

int g_checks = 0;
int g_failed = 0;
const char* g_case = "";

void Fail(const char* file, int line, const std::string& what)
{
    ++g_failed;
    printf("%s:%d: FAILED [%s] %s\n", file, line, g_case, what.c_str());
    fflush(stdout);
}

} // namespace

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void PrintLine(const std::wstring& text)
{
    printf("%s\n", ToUtf8(text).c_str());
    fflush(stdout);
}

void BeginCase(const char* name)
{
    g_case = name;
    printf("[case] %s\n", name);
    fflush(stdout);
}

bool CheckTrue(bool ok, const char* expr, const char* file, int line)
{
    ++g_checks;
    if (!ok)
        Fail(file, line, std::string("CHECK(") + expr + ")");
    return ok;
}

bool CheckEqual(long long expected, long long actual, const char* expr, const char* file, int line)
{
    ++g_checks;
    if (expected != actual)
        Fail(file, line, std::string(expr) + ": expected " + std::to_string(expected) + ", got " + std::to_string(actual));
    return expected == actual;
}

bool CheckEqual(const std::string& expected, const std::string& actual, const char* expr, const char* file, int line)
{
    ++g_checks;
    if (expected != actual)
        Fail(file, line, std::string(expr) + ":\n  expected \"" + expected + "\"\n  got      \"" + actual + "\"");
    return expected == actual;
}

bool CheckEqual(const std::wstring& expected, const std::wstring& actual, const char* expr, const char* file,
                int line)
{
    return CheckEqual(ToUtf8(expected), ToUtf8(actual), expr, file, line);
}

int TestSummary(const char* program)
{
    printf("%s: %d checks, %d failed\n", program, g_checks, g_failed);
    fflush(stdout);
    return g_failed == 0 ? 0 : 1;
}
