// The Apply command from the field's text to its end: every way it can end,
// the registry step's read-back and the firewall step's single repeat.
#include "../fakes/fake_system.h"
#include "../../workflow/apply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

const std::string kRegistryStatus = StatusCall(L"[1/3] 正在写入注册表...");
const std::string kFirewallStatus = StatusCall(L"[2/3] 正在配置防火墙 TCP/UDP...");
const std::string kRestartStatus = StatusCall(L"[3/3] 正在重启远程桌面服务...");
const std::string kWriteFailed = BoxCall(L"失败", 0x10, L"写注册表失败, 请确认管理员权限。");
const std::string kReadBackStatus = StatusCall(L"[×] 注册表校验失败, 已中止");
const std::string kReadBackFailed = BoxCall(L"失败", 0x10, L"注册表回读校验不一致(两个键未全部写入), 操作中止。");
const std::string kFirewallWarning =
    BoxCall(L"防火墙警告", 0x30, L"⚠ 防火墙规则加完回读校验失败!\n新端口可能连不上, 请手动检查防火墙。");

const std::vector<std::string> kValidation = {
    "ReadNewPortText(32)", "ReadPort", "IsPortListening(50123)", "ReadPort"};
const std::vector<std::string> kWrites = {
    kRegistryStatus, "WritePortNumber(WinStations,50123)", "WritePortNumber(Tds,50123)"};
const std::vector<std::string> kReadBack = {
    "ReadPort", "QueryPortNumber(WinStations)", "QueryPortNumber(Tds)"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

class ApplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeReset();
        g_fake.newPortText = L"50123";
        g_fake.connectAnswers = {true};
    }
};

TEST_F(ApplyTest, RefusalChangesNothing)
{
    g_fake.newPortText = L"8080";
    DoApply();
    EXPECT_EQ((std::vector<std::string>{"ReadNewPortText(32)",
                                        BoxCall(L"端口冲突", 0x10, L"端口 8080 是 HTTP 备用 的常用端口, 换一个!\n撞了会把 RDP 和其它服务一起搞挂。")}),
              g_fake.calls);
    EXPECT_EQ(3389ul, g_fake.winStations.value);
    EXPECT_EQ(3389ul, g_fake.tds.value);
}

TEST_F(ApplyTest, CompletedCommandRunsEveryStageInOrder)
{
    DoApply();
    const std::vector<std::string> expected = Join({kValidation, kWrites, kReadBack,
        {kFirewallStatus, "AddFirewallRules(50123)", "VerifyFirewallRules(50123)", kRestartStatus}});
    ASSERT_GE(g_fake.calls.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(g_fake.calls.begin(), g_fake.calls.begin() + expected.size()));
    EXPECT_EQ(50123ul, g_fake.winStations.value);
    EXPECT_EQ(50123ul, g_fake.tds.value);
    const std::vector<std::string> tail(g_fake.calls.end() - 3, g_fake.calls.end());
    EXPECT_EQ(StatusCall(L"[完成] 新端口已生效, 断开重连即可"), tail[0]);
    EXPECT_EQ("FillCurrentPort", tail[1]);
    EXPECT_EQ(0, tail[2].find("Box Zelvor-Tarnwick 0x40: 修改完成!\n旧端口: 3389 -> 新端口: 50123\n"));
}

TEST_F(ApplyTest, FailedWriteEndsWithStatusLeftAtTheRegistryStage)
{
    struct Case {
        int line;
        const char* label;
        bool winFails, tdsFails;
    } cases[] = {{__LINE__, "WinStations write fails", true, false},
                 {__LINE__, "Tds write fails", false, true},
                 {__LINE__, "both fail", true, true}};
    for (const Case& c : cases) {
        testing::ScopedTrace trace(__FILE__, c.line, c.label);
        SetUp();
        g_fake.winStations.writeFails = c.winFails;
        g_fake.tds.writeFails = c.tdsFails;
        DoApply();
        EXPECT_EQ(Join({kValidation, kWrites, {kWriteFailed}}), g_fake.calls);
        // A write that went through stays; nothing is rolled back.
        EXPECT_EQ(c.winFails ? 3389ul : 50123ul, g_fake.winStations.value);
        EXPECT_EQ(c.tdsFails ? 3389ul : 50123ul, g_fake.tds.value);
    }
}

// The read-back has three tests: ReadPort, the WinStations value queried
// directly, the Tds value. Only the first and the last fail here. The
// second cannot fail on its own: it opens the same key with the same access
// and reads the same four bytes that ReadPort has just accepted (REG_DWORD,
// size 4), so it fails only if another process changes or removes the value
// between the two reads, which this program does not cause and the fakes do
// not model.
TEST_F(ApplyTest, ReadBackFailsAtItsFirstOrItsLastTest)
{
    struct Case {
        int line;
        const char* label;
        void (*arrange)();
        std::vector<std::string> readBack;
    } cases[] = {
        {__LINE__, "WinStations key will not open: no write failure, first test fails",
         [] { g_fake.winStations.exists = false; }, {"ReadPort"}},
        {__LINE__, "WinStations value not a REG_DWORD", [] { g_fake.winStations.isDword = false; }, {"ReadPort"}},
        {__LINE__, "WinStations value longer than 4 bytes: ReadPort's own query fails", [] { g_fake.winStations.tooLong = true; },
         {"ReadPort"}},
        {__LINE__, "Tds key missing", [] { g_fake.tds.exists = false; }, kReadBack},
        {__LINE__, "Tds value unchanged", [] { g_fake.tds.ignoresWrites = true; }, kReadBack},
    };
    for (const Case& c : cases) {
        testing::ScopedTrace trace(__FILE__, c.line, c.label);
        SetUp();
        c.arrange();
        DoApply();
        EXPECT_EQ(Join({kValidation, kWrites, c.readBack, {kReadBackStatus, kReadBackFailed}}), g_fake.calls);
    }
}

TEST_F(ApplyTest, FirewallStepRepeatsOnceAndWarns)
{
    struct Case {
        int line;
        const char* label;
        std::deque<bool> adds, verifies;
        std::vector<std::string> calls;
        bool warned;
        unsigned int summaryIcon;
    } cases[] = {
        {__LINE__, "first add fails: warning, no verification", {false}, {},
         {"AddFirewallRules(50123)"}, true, 0x30},
        {__LINE__, "first verification fails, second passes", {true, true}, {false, true},
         {"AddFirewallRules(50123)", "VerifyFirewallRules(50123)", "AddFirewallRules(50123)",
          "VerifyFirewallRules(50123)"}, false, 0x40},
        {__LINE__, "both verifications fail", {true, true}, {false, false},
         {"AddFirewallRules(50123)", "VerifyFirewallRules(50123)", "AddFirewallRules(50123)",
          "VerifyFirewallRules(50123)"}, true, 0x30},
        {__LINE__, "second add's result is not looked at", {true, false}, {false, true},
         {"AddFirewallRules(50123)", "VerifyFirewallRules(50123)", "AddFirewallRules(50123)",
          "VerifyFirewallRules(50123)"}, false, 0x40},
    };
    for (const Case& c : cases) {
        testing::ScopedTrace trace(__FILE__, c.line, c.label);
        SetUp();
        g_fake.addAnswers = c.adds;
        g_fake.verifyAnswers = c.verifies;
        DoApply();

        std::vector<std::string> firewall;
        for (const std::string& call : g_fake.calls) {
            if (call.find("FirewallRules") != std::string::npos)
                firewall.push_back(call);
        }
        EXPECT_EQ(c.calls, firewall);

        // The warning comes right after the firewall step, before the restart.
        auto restart = std::find(g_fake.calls.begin(), g_fake.calls.end(), kRestartStatus);
        ASSERT_NE(g_fake.calls.end(), restart);
        EXPECT_EQ(c.warned, *(restart - 1) == kFirewallWarning);
        const std::vector<std::string> boxes = CallsStartingWith("Box");
        EXPECT_EQ(c.warned ? 2u : 1u, boxes.size());
        char icon[32];
        snprintf(icon, sizeof icon, "Box Zelvor-Tarnwick 0x%02X", c.summaryIcon);
        EXPECT_EQ(0u, boxes.back().find(icon));
        EXPECT_NE(std::string::npos, boxes.back().find(Utf8(c.warned ? L"[!] 防火墙规则添加失败" : L"[OK] 防火墙TCP/UDP规则已添加")));
    }
}

} // namespace
