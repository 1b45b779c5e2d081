// The completion report: all eight combinations of the outcome flags.
#include "../fakes/fake_system.h"
#include "../../workflow/report.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kDone = L"[完成] 新端口已生效, 断开重连即可";
const std::wstring kSvcWarn = L"[警告] 服务未确认运行, 重启机器后生效";
const std::wstring kListenWarn = L"[警告] 监听器未绑新端口, 需重启机器生效";
const std::wstring kFwOk = L"[OK] 防火墙TCP/UDP规则已添加";
const std::wstring kFwBad = L"[!] 防火墙规则添加失败, 请手动配置";
const std::wstring kSvcOk = L"[OK] 远程桌面服务已重启, 新端口已在监听";
const std::wstring kSvcBad = L"[!] 监听器未绑上新端口, 重启机器后生效";

std::wstring Summary(const std::wstring& oldPort, const std::wstring& newPort, const std::wstring& fw,
                     const std::wstring& svc)
{
    return L"修改完成!\n旧端口: " + oldPort + L" -> 新端口: " + newPort + L"\n\n" + fw + L"\n" + svc +
           L"\n断开RDP连接, 使用新端口连接: IP:" + newPort +
           L"\n\n※ 若外网仍连不上, 记得检查云安全组/\n   机房防火墙是否也放行了该端口。";
}

struct ReportCase {
    int line;
    bool listening, svcRunning, fwOk;
    std::wstring status, fwLine, svcLine;
    unsigned int icon;
};

const ReportCase kCases[] = {
    {__LINE__, true, true, true, kDone, kFwOk, kSvcOk, 0x40},
    {__LINE__, true, true, false, kDone, kFwBad, kSvcOk, 0x30},
    {__LINE__, true, false, true, kSvcWarn, kFwOk, kSvcOk, 0x30},
    {__LINE__, true, false, false, kSvcWarn, kFwBad, kSvcOk, 0x30},
    {__LINE__, false, true, true, kListenWarn, kFwOk, kSvcBad, 0x30},
    {__LINE__, false, true, false, kListenWarn, kFwBad, kSvcBad, 0x30},
    {__LINE__, false, false, true, kSvcWarn, kFwOk, kSvcBad, 0x30},
    {__LINE__, false, false, false, kSvcWarn, kFwBad, kSvcBad, 0x30},
};

TEST(CompletionReport, AllEightCombinations)
{
    for (const ReportCase& c : kCases) {
        testing::ScopedTrace trace(__FILE__, c.line,
                                   testing::Message() << "listening " << c.listening << " svcRunning "
                                                      << c.svcRunning << " fwOk " << c.fwOk);
        FakeReset();
        ShowReport(3389, 50123, c.fwOk, c.svcRunning, c.listening);
        const std::vector<std::string> expected = {
            StatusCall(c.status),
            "FillCurrentPort",
            BoxCall(L"Zelvor-Tarnwick", c.icon, Summary(L"3389", L"50123", c.fwLine, c.svcLine)),
        };
        EXPECT_EQ(expected, g_fake.calls);
    }
}

TEST(CompletionReport, UnreadableOldPortShowsZero)
{
    FakeReset();
    ShowReport(0, 65535, true, true, true);
    ASSERT_EQ(3u, g_fake.calls.size());
    EXPECT_EQ(BoxCall(L"Zelvor-Tarnwick", 0x40, Summary(L"0", L"65535", kFwOk, kSvcOk)), g_fake.calls[2]);
}

} // namespace
