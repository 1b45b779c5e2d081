// The validation rules of the Apply command, each with its exact message.
#include "../fakes/fake_system.h"
#include "../../workflow/validate.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

const std::string kRead = "ReadNewPortText(32)";
const std::string kRange = BoxCall(L"提示", 0x30, L"请输入有效端口 (1-65535)");
const std::string kAsk3389 = BoxCall(L"确认", 0x24, L"3389 是 RDP 默认端口, 公网上最容易被扫描爆破。\n\n确认要改回 3389 吗?");

std::string Reserved(const std::wstring& port)
{
    return BoxCall(L"端口不合法", 0x10, L"端口 " + port + L" 低于 1024, 属于系统保留端口, 不允许使用。\n建议 10000-65535 之间选一个。");
}

std::string Common(const std::wstring& port, const std::wstring& name)
{
    return BoxCall(L"端口冲突", 0x10, L"端口 " + port + L" 是 " + name + L" 的常用端口, 换一个!\n撞了会把 RDP 和其它服务一起搞挂。");
}

std::string InUse(const std::wstring& port)
{
    return BoxCall(L"端口被占用", 0x10, L"端口 " + port + L" 已被本机其它程序占用, 换一个。");
}

std::string Current(const std::wstring& port)
{
    return BoxCall(L"提示", 0x30, L"当前端口已经是 " + port + L", 无需修改。\n请输入一个不同的端口。");
}

struct ValidationCase {
    int line;
    const char* name;
    std::wstring text;
    unsigned long configured;       // PortNumber of the WinStations key
    bool configuredReadable;        // the key exists
    bool configuredIsDword;
    std::deque<bool> inUse;         // IsPortListening answers
    std::deque<int> answers;        // message box answers
    std::vector<std::string> calls; // the whole recorded sequence
    bool passes;
    unsigned long newPort;          // checked when passes
    unsigned long oldPort;
};

void PrintTo(const ValidationCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::wstring k31Zeros(31, L'0');

const ValidationCase kCases[] = {
    {__LINE__, "empty field", L"", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "zero", L"0", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "above 65535", L"65536", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "2^32 + 8080 saturates", L"4294975376", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "minus one wraps", L"-1", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "only 31 characters count", k31Zeros + L"8080", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "letters only", L"abc", 3389, true, true, {}, {}, {kRead, kRange}, false, 0, 0},
    {__LINE__, "1023 reserved", L"1023", 3389, true, true, {}, {}, {kRead, Reserved(L"1023")}, false, 0, 0},
    {__LINE__, "80 reserved before common", L"80", 3389, true, true, {}, {}, {kRead, Reserved(L"80")}, false, 0, 0},
    {__LINE__, "1 reserved", L"1", 3389, true, true, {}, {}, {kRead, Reserved(L"1")}, false, 0, 0},
    {__LINE__, "8080 common", L"8080", 3389, true, true, {}, {}, {kRead, Common(L"8080", L"HTTP 备用")}, false, 0, 0},
    {__LINE__, "1433 common", L"1433", 3389, true, true, {}, {}, {kRead, Common(L"1433", L"SQL Server")}, false, 0, 0},
    {__LINE__, "3306 common", L"3306", 3389, true, true, {}, {}, {kRead, Common(L"3306", L"MySQL")}, false, 0, 0},
    {__LINE__, "6379 common", L"6379", 3389, true, true, {}, {}, {kRead, Common(L"6379", L"Redis")}, false, 0, 0},
    {__LINE__, "27017 common", L"27017", 3389, true, true, {}, {}, {kRead, Common(L"27017", L"MongoDB")}, false, 0, 0},
    {__LINE__, "1723 common", L"1723", 3389, true, true, {}, {}, {kRead, Common(L"1723", L"VPN PPTP")}, false, 0, 0},
    {__LINE__, "9200 common", L"9200", 3389, true, true, {}, {}, {kRead, Common(L"9200", L"Elasticsearch")}, false, 0, 0},
    {__LINE__, "in use", L"50000", 3389, true, true, {true}, {},
     {kRead, "ReadPort", "IsPortListening(50000)", InUse(L"50000")}, false, 0, 0},
    {__LINE__, "already current, no probe", L"50000", 50000, true, true, {true}, {},
     {kRead, "ReadPort", "ReadPort", Current(L"50000")}, false, 0, 0},
    {__LINE__, "configured value of another type still counts", L"50000", 50000, true, false, {}, {},
     {kRead, "ReadPort", "ReadPort", Current(L"50000")}, false, 0, 0},
    {__LINE__, "1024 passes", L"1024", 3389, true, true, {}, {},
     {kRead, "ReadPort", "IsPortListening(1024)", "ReadPort"}, true, 1024, 3389},
    {__LINE__, "65535 passes", L"65535", 3389, true, true, {}, {},
     {kRead, "ReadPort", "IsPortListening(65535)", "ReadPort"}, true, 65535, 3389},
    {__LINE__, "blank, digits, letters", L" 12345abc", 3389, true, true, {}, {},
     {kRead, "ReadPort", "IsPortListening(12345)", "ReadPort"}, true, 12345, 3389},
    {__LINE__, "unreadable configured port gives old port 0", L"50000", 3389, false, true, {}, {},
     {kRead, "ReadPort", "IsPortListening(50000)", "ReadPort"}, true, 50000, 0},
    {__LINE__, "3389 answered No", L"3389", 50000, true, true, {}, {7}, {kRead, kAsk3389}, false, 0, 0},
    {__LINE__, "3389 answered Yes while configured", L"3389", 3389, true, true, {}, {6},
     {kRead, kAsk3389, "ReadPort", "ReadPort", Current(L"3389")}, false, 0, 0},
    {__LINE__, "3389 answered Yes while another is configured", L"3389", 50000, true, true, {}, {6},
     {kRead, kAsk3389, "ReadPort", "IsPortListening(3389)", "ReadPort"}, true, 3389, 50000},
};

class ValidationTest : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(ValidationTest, RulesInOrder)
{
    const ValidationCase& c = GetParam();
    testing::ScopedTrace trace(__FILE__, c.line, c.name);
    FakeReset();
    g_fake.newPortText = c.text;
    g_fake.winStations.value = c.configured;
    g_fake.winStations.exists = c.configuredReadable;
    g_fake.winStations.isDword = c.configuredIsDword;
    g_fake.tableAnswers = c.inUse;
    g_fake.boxAnswers = c.answers;

    unsigned long newPort = 0;
    unsigned long oldPort = 0;
    const bool passed = ValidatePort(newPort, oldPort);

    EXPECT_EQ(c.calls, g_fake.calls);
    ASSERT_EQ(c.passes, passed);
    if (c.passes) {
        EXPECT_EQ(c.newPort, newPort);
        EXPECT_EQ(c.oldPort, oldPort);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidationTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ValidationCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

} // namespace
