// ReadPort and the registry step's write and read-back against the prefix's
// real registry; every result is checked again through the registry API.
#include "check.h"
#include "prefix.h"
#include "../../adapters/registry.h"

namespace {

struct ReadPortCase {
    int line;
    const char* name;
    void (*arrange)();
    bool result;
    long long port; // what the caller's variable holds afterwards (it starts as 777)
};

const ReadPortCase kReadPortCases[] = {
    {__LINE__, "REG_DWORD 3389", [] { SetDword(kWinStationsPath, L"PortNumber", 3389); }, true, 3389},
    {__LINE__, "REG_DWORD 0", [] { SetDword(kWinStationsPath, L"PortNumber", 0); }, true, 0},
    {__LINE__, "REG_DWORD above 65535 is returned as read", [] { SetDword(kWinStationsPath, L"PortNumber", 70000); }, true, 70000},
    {__LINE__, "REG_BINARY of 4 bytes lands in the variable",
     [] {
         const BYTE bytes[4] = {0x39, 0x30, 0x00, 0x00};
         SetBinary(kWinStationsPath, L"PortNumber", bytes, 4);
     },
     false, 12345},
    {__LINE__, "value longer than 4 bytes: the 4-byte query fails, the variable is left alone",
     [] {
         const BYTE eight[8] = {0x39, 0x30, 0, 0, 0, 0, 0, 0};
         SetBinary(kWinStationsPath, L"PortNumber", eight, 8);
     },
     false, 777},
    {__LINE__, "value missing", [] { DeleteValue(kWinStationsPath, L"PortNumber"); }, false, 777},
    {__LINE__, "key missing", [] { DeleteTree(kWinStationsPath); }, false, 777},
    {__LINE__, "Tds key holds another number",
     [] {
         SetDword(kWinStationsPath, L"PortNumber", 40000);
         SetDword(kTdsPath, L"PortNumber", 55555);
     },
     true, 40000},
};

void ReadPortCases()
{
    for (const ReadPortCase& c : kReadPortCases) {
        BeginCase(c.name);
        ResetPortKeys(3389);
        c.arrange();
        unsigned long port = 777;
        CHECK_EQ_AT(c.line, c.result, ReadPort(port));
        CHECK_EQ_AT(c.line, c.port, static_cast<long long>(port));
    }

    BeginCase("REG_SZ of the same name");
    ResetPortKeys(3389);
    SetString(kWinStationsPath, L"PortNumber", L"3389");
    unsigned long port = 0;
    CHECK(!ReadPort(port));
}

void WritesAndReadBack()
{
    BeginCase("both keys written as REG_DWORD of 4 bytes");
    ResetPortKeys(3389);
    CHECK(WritePortNumber(PORTKEY_WINSTATIONS, 50123));
    CHECK(WritePortNumber(PORTKEY_TDS, 50123));
    DWORD type = 0;
    CHECK_EQ(50123LL, RawPortNumber(kWinStationsPath, &type));
    CHECK_EQ(static_cast<long long>(REG_DWORD), static_cast<long long>(type));
    CHECK_EQ(50123LL, RawPortNumber(kTdsPath, &type));
    CHECK_EQ(static_cast<long long>(REG_DWORD), static_cast<long long>(type));
    unsigned long value = 0;
    CHECK(QueryPortNumber(PORTKEY_WINSTATIONS, value));
    CHECK_EQ(50123LL, static_cast<long long>(value));
    value = 0;
    CHECK(QueryPortNumber(PORTKEY_TDS, value));
    CHECK_EQ(50123LL, static_cast<long long>(value));

    BeginCase("a missing key is not a failed write, is not created, and fails the read-back");
    ResetPortKeys(3389);
    DeleteTree(kTdsPath);
    CHECK(WritePortNumber(PORTKEY_TDS, 50123));
    CHECK_EQ(-1LL, RawPortNumber(kTdsPath));
    HKEY hKey = nullptr;
    CHECK(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTdsPath, 0, KEY_QUERY_VALUE, &hKey) == ERROR_FILE_NOT_FOUND);
    value = 0;
    CHECK(!QueryPortNumber(PORTKEY_TDS, value));

    BeginCase("a value longer than 4 bytes fails the read-back");
    ResetPortKeys(3389);
    const BYTE eight[8] = {0xCB, 0xC3, 0, 0, 0, 0, 0, 0};
    SetBinary(kTdsPath, L"PortNumber", eight, 8);
    value = 0;
    CHECK(!QueryPortNumber(PORTKEY_TDS, value));

    BeginCase("the direct read-back does not compare the type");
    ResetPortKeys(3389);
    const BYTE four[4] = {0xCB, 0xC3, 0, 0};
    SetBinary(kTdsPath, L"PortNumber", four, 4);
    value = 0;
    CHECK(QueryPortNumber(PORTKEY_TDS, value));
    CHECK_EQ(50123LL, static_cast<long long>(value));
}

} // namespace

int wmain()
{
    ReadPortCases();
    WritesAndReadBack();
    ResetPortKeys(3389);
    return TestSummary("registry_test");
}
