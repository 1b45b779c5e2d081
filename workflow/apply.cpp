// The Apply command: the whole change of the Remote Desktop port, from the
// text in the new-port field to the summary. Nothing is rolled back.
#include "apply.h"

#include "report.h"
#include "restart.h"
#include "ui.h"
#include "validate.h"
#include "../adapters/firewall.h"
#include "../adapters/registry.h"

namespace {

// Both keys are written whatever the first gave; a key that will not open
// is left to the read-back.
bool WriteBothKeys(unsigned long newPort)
{
    const bool winStationsOk = WritePortNumber(PORTKEY_WINSTATIONS, newPort);
    const bool tdsOk = WritePortNumber(PORTKEY_TDS, newPort);
    return winStationsOk && tdsOk;
}

// The WinStations value is read twice: through ReadPort, which also demands
// REG_DWORD, and directly; the Tds value once.
bool ReadBackBothKeys(unsigned long newPort)
{
    unsigned long value = 0;
    if (!ReadPort(value) || value != newPort)
        return false;
    value = 0;
    if (!QueryPortNumber(PORTKEY_WINSTATIONS, value) || value != newPort)
        return false;
    value = 0;
    if (!QueryPortNumber(PORTKEY_TDS, value) || value != newPort)
        return false;
    return true;
}

// One repeat of add and verify when the first read-back fails; no
// verification at all when the first add failed.
bool ConfigureFirewall(unsigned long newPort)
{
    if (!AddFirewallRules(newPort))
        return false;
    if (VerifyFirewallRules(newPort))
        return true;
    AddFirewallRules(newPort);
    return VerifyFirewallRules(newPort);
}

} // namespace

void DoApply()
{
    unsigned long newPort = 0;
    unsigned long oldPort = 0;
    if (!ValidatePort(newPort, oldPort))
        return;

    SetStatus(L"[1/3] 正在写入注册表...");
    if (!WriteBothKeys(newPort)) {
        ShowMessage(L"写注册表失败, 请确认管理员权限。", L"失败", kBoxError);
        return;
    }
    if (!ReadBackBothKeys(newPort)) {
        SetStatus(L"[×] 注册表校验失败, 已中止");
        ShowMessage(L"注册表回读校验不一致(两个键未全部写入), 操作中止。", L"失败", kBoxError);
        return;
    }

    SetStatus(L"[2/3] 正在配置防火墙 TCP/UDP...");
    const bool fwOk = ConfigureFirewall(newPort);
    if (!fwOk)
        ShowMessage(L"⚠ 防火墙规则加完回读校验失败!\n新端口可能连不上, 请手动检查防火墙。", L"防火墙警告", kBoxWarning);

    bool svcRunning = false;
    bool listening = false;
    RestartAndConfirm(newPort, svcRunning, listening);
    ShowReport(oldPort, newPort, fwOk, svcRunning, listening);
}
