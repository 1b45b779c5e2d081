// A small check harness for the Win32 test programs run under Wine. A failed
// check prints the file and line of the check itself; the program ends with
// one summary line and exits non-zero when anything failed.
#pragma once

#include <string>

void BeginCase(const char* name);
bool CheckTrue(bool ok, const char* expr, const char* file, int line);
bool CheckEqual(long long expected, long long actual, const char* expr, const char* file, int line);
bool CheckEqual(const std::wstring& expected, const std::wstring& actual, const char* expr, const char* file,
                int line);
bool CheckEqual(const std::string& expected, const std::string& actual, const char* expr, const char* file,
                int line);
int TestSummary(const char* program);

// Prints a line of UTF-16 text as UTF-8.
void PrintLine(const std::wstring& text);
std::string ToUtf8(const std::wstring& text);

#define CHECK(x) CheckTrue((x), #x, __FILE__, __LINE__)
#define CHECK_EQ(expected, actual) CheckEqual((expected), (actual), #actual, __FILE__, __LINE__)

// The same for a row of a table of cases: a failure names the row's line
// (give each row __LINE__), not the line of the loop that runs the table.
#define CHECK_AT(line, x) CheckTrue((x), #x, __FILE__, (line))
#define CHECK_EQ_AT(line, expected, actual) CheckEqual((expected), (actual), #actual, __FILE__, (line))
