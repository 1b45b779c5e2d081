// The third stage of the Apply command: restart the Remote Desktop service
// chain and confirm a listener on the new port, on a fixed schedule.
#include "restart.h"

#include "ui.h"
#include "../adapters/probes.h"
#include "../adapters/services.h"
#include "../common/format.h"

namespace {

const wchar_t kTermService[] = L"TermService";
const wchar_t kUmRdpService[] = L"UmRdpService";
const wchar_t kSessionEnv[] = L"SessionEnv";

const int kChainPauseTicks = 16;      // 800 ms between the stops and the starts
const int kRunningPolls = 20;         // WaitSvcRunning: 20 polls of 500 ms
const int kFirstProbeWaitMs = 2000;
const int kNextProbeWaitMs = 1500;
const int kScheduleEndMs = 16500;     // 11 probes in all
const int kAutoAttempts = 10;
const int kAttemptWaitTicks = 40;     // 2000 ms after each later restart

const wchar_t kWaitingStatus[] = L"[等待] 服务换口中, 正在确认新端口生效...";

// Stops the companions before TermService and starts TermService first.
bool RestartChain()
{
    StopSvc(kUmRdpService);
    StopSvc(kSessionEnv);
    StopSvc(kTermService);
    PumpWait(kChainPauseTicks);
    StartSvc(kTermService);
    StartSvc(kUmRdpService);
    StartSvc(kSessionEnv);
    return WaitSvcRunning(kTermService, kRunningPolls);
}

// The table is asked only when the connect failed.
bool ProbeListener(unsigned short port)
{
    return CanConnectLocal(port) || IsPortListening(port);
}

// Probes after 2000 ms, then every 1500 ms, 11 probes at most.
bool ConfirmBySchedule(unsigned short port)
{
    PumpWaitMs(kFirstProbeWaitMs);
    int waitedMs = 0;
    for (;;) {
        if (ProbeListener(port))
            return true;
        SetStatus(kWaitingStatus);
        waitedMs += kNextProbeWaitMs;
        if (waitedMs >= kScheduleEndMs)
            return false;
        PumpWaitMs(kNextProbeWaitMs);
    }
}

bool RetryChainOnce(unsigned short port)
{
    RestartChain(); // only the first restart's running state is reported
    PumpWait(kAttemptWaitTicks);
    return ProbeListener(port);
}

} // namespace

void RestartAndConfirm(unsigned long newPort, bool& svcRunning, bool& listening)
{
    const unsigned short port = static_cast<unsigned short>(newPort);
    listening = false;

    SetStatus(L"[3/3] 正在重启远程桌面服务...");
    svcRunning = RestartChain();
    if (ConfirmBySchedule(port)) {
        listening = true;
        return;
    }

    int attempt = 0;
    while (attempt < kAutoAttempts) {
        ++attempt;
        wchar_t status[128];
        FormatText(status, L"[自动重试 %d/10] 监听器未换口, 正在重启服务链...", attempt);
        SetStatus(status);
        if (RetryChainOnce(port)) {
            listening = true;
            return;
        }
    }

    wchar_t prompt[256];
    FormatText(prompt,
               L"自动重试 %d 轮后监听器仍未绑上新端口 %lu。\n\n点 [重试]: 继续自动重试\n点 [取消]: 稍后重启服务器生效\n\n(端口和防火墙已改好, 只是监听器还挂在旧端口)",
               attempt, newPort);
    if (ShowMessage(prompt, L"需要重试吗?", kBoxRetryCancelWarning) != kAnswerRetry)
        return;

    SetStatus(L"[重试] 正在重启远程桌面服务链...");
    listening = RetryChainOnce(port);
}
