// The first stage of the Apply command: the requested port and its rules.
// Nothing here touches the status line, the registry or the services.
#include "validate.h"

#include <cstdint>
#include <iterator>

#include "portconv.h"
#include "ui.h"
#include "../adapters/probes.h"
#include "../adapters/registry.h"
#include "../common/format.h"

namespace {

struct CommonPort {
    unsigned long port;
    const wchar_t* name;
};

// Ports of services that usually run beside RDP. Rows below 1024 are caught
// by the reserved-port rule first; the table keeps them all the same.
const CommonPort CommonPorts[] = {
    {80, L"HTTP"},
    {443, L"HTTPS"},
    {8080, L"HTTP 备用"},
    {21, L"FTP"},
    {22, L"SSH"},
    {23, L"Telnet"},
    {25, L"SMTP"},
    {53, L"DNS"},
    {110, L"POP3"},
    {143, L"IMAP"},
    {445, L"SMB 共享"},
    {1433, L"SQL Server"},
    {3306, L"MySQL"},
    {6379, L"Redis"},
    {27017, L"MongoDB"},
    {1723, L"VPN PPTP"},
    {9200, L"Elasticsearch"},
};

const unsigned long kDefaultRdpPort = 3389;

const CommonPort* FindCommonPort(unsigned long port)
{
    for (const CommonPort& row : CommonPorts) {
        if (row.port == port)
            return &row;
    }
    return nullptr;
}

} // namespace

bool ValidatePort(unsigned long& newPort, unsigned long& oldPort)
{
    wchar_t text[32] = {};
    ReadNewPortText(text, static_cast<int>(std::size(text)));
    newPort = ConvertPortText(text);

    // 0 wraps round to the top, so one comparison covers both ends.
    if (static_cast<uint32_t>(newPort - 1) > 65534u) {
        ShowMessage(L"请输入有效端口 (1-65535)", L"提示", kBoxWarning);
        return false;
    }

    if (newPort <= 1023) {
        wchar_t msg[160];
        FormatText(msg, L"端口 %lu 低于 1024, 属于系统保留端口, 不允许使用。\n建议 10000-65535 之间选一个。", newPort);
        ShowMessage(msg, L"端口不合法", kBoxError);
        return false;
    }

    if (newPort == kDefaultRdpPort) {
        int answer = ShowMessage(L"3389 是 RDP 默认端口, 公网上最容易被扫描爆破。\n\n确认要改回 3389 吗?",
                                 L"确认", kBoxYesNoQuestion);
        if (answer != kAnswerYes)
            return false;
    }

    if (const CommonPort* row = FindCommonPort(newPort)) {
        wchar_t msg[200];
        FormatText(msg, L"端口 %lu 是 %ls 的常用端口, 换一个!\n撞了会把 RDP 和其它服务一起搞挂。", newPort, row->name);
        ShowMessage(msg, L"端口冲突", kBoxError);
        return false;
    }

    // The configured port itself is left to the already-current rule below:
    // its own listener must not make it look taken.
    unsigned long configured = 0;
    ReadPort(configured);
    if (newPort != configured && IsPortListening(static_cast<unsigned short>(newPort))) {
        wchar_t msg[200];
        FormatText(msg, L"端口 %lu 已被本机其它程序占用, 换一个。", newPort);
        ShowMessage(msg, L"端口被占用", kBoxError);
        return false;
    }

    oldPort = 0;
    ReadPort(oldPort);
    if (newPort == oldPort) {
        wchar_t msg[160];
        FormatText(msg, L"当前端口已经是 %lu, 无需修改。\n请输入一个不同的端口。", newPort);
        ShowMessage(msg, L"提示", kBoxWarning);
        return false;
    }
    return true;
}
