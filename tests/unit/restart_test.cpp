// The restart of the service chain and the confirmation schedule, counted in
// recorded calls and idle ticks instead of real time.
#include "../fakes/fake_system.h"
#include "../../workflow/restart.h"

#include <gtest/gtest.h>

namespace {

const unsigned long kPort = 50123;
const std::string kStage = StatusCall(L"[3/3] 正在重启远程桌面服务...");
const std::string kWaiting = StatusCall(L"[等待] 服务换口中, 正在确认新端口生效...");
const std::string kRetryStatus = StatusCall(L"[重试] 正在重启远程桌面服务链...");
const std::string kConnect = "CanConnectLocal(50123)";
const std::string kTable = "IsPortListening(50123)";

const std::vector<std::string> kChain = {
    "StopSvc UmRdpService", "StopSvc SessionEnv", "StopSvc TermService", "PumpWait(16)",
    "StartSvc TermService", "StartSvc UmRdpService", "StartSvc SessionEnv", "WaitSvcRunning TermService 20",
};

const std::string kPrompt = BoxCall(L"需要重试吗?", 0x35,
    L"自动重试 10 轮后监听器仍未绑上新端口 50123。\n\n点 [重试]: 继续自动重试\n点 [取消]: 稍后重启服务器生效\n\n"
    L"(端口和防火墙已改好, 只是监听器还挂在旧端口)");

std::string AttemptStatus(int k)
{
    return StatusCall(L"[自动重试 " + std::to_wstring(k) + L"/10] 监听器未换口, 正在重启服务链...");
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// Everything up to and including the prompt when no probe ever succeeds.
std::vector<std::string> UpToPrompt()
{
    std::vector<std::string> calls = {kStage};
    Append(calls, kChain);
    calls.push_back("PumpWaitMs(2000)");
    for (int probe = 1; probe <= 11; ++probe) {
        Append(calls, {kConnect, kTable, kWaiting});
        if (probe < 11)
            calls.push_back("PumpWaitMs(1500)");
    }
    for (int k = 1; k <= 10; ++k) {
        calls.push_back(AttemptStatus(k));
        Append(calls, kChain);
        Append(calls, {"PumpWait(40)", kConnect, kTable});
    }
    calls.push_back(kPrompt);
    return calls;
}

std::deque<bool> Failures(int n)
{
    return std::deque<bool>(static_cast<size_t>(n), false);
}

struct Outcome {
    bool svcRunning = false;
    bool listening = false;
};

// Runs the stage with both flags set to the opposite of what the case
// expects, so that a flag the stage leaves alone shows as wrong.
Outcome RunStage(bool expectedSvcRunning, bool expectedListening)
{
    Outcome o;
    o.svcRunning = !expectedSvcRunning;
    o.listening = !expectedListening;
    RestartAndConfirm(kPort, o.svcRunning, o.listening);
    return o;
}

class RestartTest : public ::testing::Test {
protected:
    void SetUp() override { FakeReset(); }
};

TEST_F(RestartTest, ListenerAtFirstProbeEndsAfterTwoSecondsWithoutWaitingStatus)
{
    g_fake.connectAnswers = {true};
    Outcome o = RunStage(true, true);

    std::vector<std::string> expected = {kStage};
    Append(expected, kChain);
    Append(expected, {"PumpWaitMs(2000)", kConnect});
    EXPECT_EQ(expected, g_fake.calls);
    EXPECT_TRUE(o.svcRunning);
    EXPECT_TRUE(o.listening);
}

TEST_F(RestartTest, TableProbeIsAskedOnlyWhenTheConnectFails)
{
    g_fake.connectAnswers = {false, true};
    g_fake.tableAnswers = {false};
    Outcome o = RunStage(true, true);
    EXPECT_TRUE(o.svcRunning);
    EXPECT_TRUE(o.listening);
    EXPECT_EQ((std::vector<std::string>{kConnect, kConnect}), CallsStartingWith("CanConnectLocal"));
    EXPECT_EQ(1u, CallsStartingWith("IsPortListening").size());

    FakeReset();
    g_fake.tableAnswers = {true};
    o = RunStage(true, true);
    EXPECT_TRUE(o.svcRunning);
    EXPECT_TRUE(o.listening);
    EXPECT_EQ(1u, CallsStartingWith("CanConnectLocal").size());
    EXPECT_EQ(1u, CallsStartingWith("IsPortListening").size());
}

TEST_F(RestartTest, ListenerThatNeverAnswersThenCancel)
{
    g_fake.boxAnswers = {2};
    Outcome o = RunStage(true, false);

    EXPECT_EQ(UpToPrompt(), g_fake.calls);
    EXPECT_EQ(11u, CallsStartingWith(kWaiting).size());
    EXPECT_EQ(21u, CallsStartingWith("CanConnectLocal").size());
    EXPECT_EQ(11u, CallsStartingWith("WaitSvcRunning").size());
    EXPECT_TRUE(o.svcRunning);
    EXPECT_FALSE(o.listening);
}

TEST_F(RestartTest, RetryWhoseProbeSucceeds)
{
    g_fake.boxAnswers = {4};
    g_fake.connectAnswers = Failures(21);
    g_fake.connectAnswers.push_back(true);
    Outcome o = RunStage(true, true);

    std::vector<std::string> expected = UpToPrompt();
    expected.push_back(kRetryStatus);
    Append(expected, kChain);
    Append(expected, {"PumpWait(40)", kConnect});
    EXPECT_EQ(expected, g_fake.calls);
    EXPECT_TRUE(o.svcRunning);
    EXPECT_TRUE(o.listening);
}

TEST_F(RestartTest, RetryWhoseProbeFailsAsksNoMore)
{
    g_fake.boxAnswers = {4, 4};
    Outcome o = RunStage(true, false);

    std::vector<std::string> expected = UpToPrompt();
    expected.push_back(kRetryStatus);
    Append(expected, kChain);
    Append(expected, {"PumpWait(40)", kConnect, kTable});
    EXPECT_EQ(expected, g_fake.calls);
    EXPECT_TRUE(o.svcRunning);
    EXPECT_FALSE(o.listening);
    EXPECT_EQ(1u, CallsStartingWith("Box").size());
}

TEST_F(RestartTest, ListenerMovingAtAttemptThree)
{
    g_fake.connectAnswers = Failures(11 + 2);
    g_fake.connectAnswers.push_back(true);
    Outcome o = RunStage(true, true);

    EXPECT_TRUE(o.svcRunning);
    EXPECT_TRUE(o.listening);
    EXPECT_EQ(AttemptStatus(3), CallsStartingWith("SetStatus").back());
    EXPECT_EQ(kConnect, g_fake.calls.back());
    EXPECT_TRUE(CallsStartingWith("Box").empty());
}

TEST_F(RestartTest, OnlyTheFirstRestartDecidesServiceRunning)
{
    g_fake.runningAnswers = {false, true, true};
    g_fake.connectAnswers = Failures(11 + 1);
    g_fake.connectAnswers.push_back(true);
    Outcome o = RunStage(false, true);
    EXPECT_FALSE(o.svcRunning);
    EXPECT_TRUE(o.listening);
    EXPECT_EQ(3u, CallsStartingWith("WaitSvcRunning").size());

    FakeReset();
    g_fake.runningAnswers = {true, false};
    g_fake.connectAnswers = Failures(11);
    g_fake.connectAnswers.push_back(true);
    o = RunStage(true, true);
    EXPECT_TRUE(o.svcRunning);
    EXPECT_TRUE(o.listening);
}

} // namespace
