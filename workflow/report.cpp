// The last stage of every Apply command that passed the registry read-back.
#include "report.h"

#include "ui.h"
#include "../common/format.h"

void ShowReport(unsigned long oldPort, unsigned long newPort, bool fwOk, bool svcRunning, bool listening)
{
    // A service that was not seen running outweighs everything else.
    if (!svcRunning)
        SetStatus(L"[警告] 服务未确认运行, 重启机器后生效");
    else if (!listening)
        SetStatus(L"[警告] 监听器未绑新端口, 需重启机器生效");
    else
        SetStatus(L"[完成] 新端口已生效, 断开重连即可");

    FillCurrentPort();

    const wchar_t* firewallLine = fwOk ? L"[OK] 防火墙TCP/UDP规则已添加"
                                       : L"[!] 防火墙规则添加失败, 请手动配置";
    const wchar_t* serviceLine = listening ? L"[OK] 远程桌面服务已重启, 新端口已在监听"
                                           : L"[!] 监听器未绑上新端口, 重启机器后生效";

    wchar_t summary[512];
    FormatText(summary,
               L"修改完成!\n旧端口: %lu -> 新端口: %lu\n\n%ls\n%ls\n断开RDP连接, 使用新端口连接: IP:%lu\n\n※ 若外网仍连不上, 记得检查云安全组/\n   机房防火墙是否也放行了该端口。",
               oldPort, newPort, firewallLine, serviceLine, newPort);

    const bool allGood = listening && svcRunning && fwOk;
    ShowMessage(summary, L"Zelvor-Tarnwick", allGood ? kBoxInformation : kBoxWarning);
}
