// Fuzzing the new-port field: arbitrary UTF-16 text through the conversion
// and every validation rule, with the fakes standing in for the system.
// Built with -fsanitize=fuzzer,address,undefined, so a read past the
// 32-character buffer or any undefined behaviour stops the run. Each input
// must end in exactly one of the rules' outcomes, consistent with the
// number the text converts to.
#include "../fakes/fake_system.h"
#include "../../workflow/portconv.h"
#include "../../workflow/validate.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

[[noreturn]] void Fail(const char* why)
{
    fprintf(stderr, "verdict check failed: %s\n", why);
    abort();
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// An independent reading of ASCII text as the 32-bit runtime converts it,
// from the C library's 64-bit strtoull; -1 when the text is not ASCII.
long long ReferenceConversion(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text) {
        if (c <= 0 || c > 0x7E)
            return -1;
        narrow += static_cast<char>(c);
    }
    const char* p = narrow.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return 0;
    errno = 0;
    unsigned long long v = strtoull(p, nullptr, 10);
    if (errno == ERANGE || v > 0xFFFFFFFFull)
        return 0xFFFFFFFFll;
    return static_cast<long long>(negative ? (0x100000000ull - v) & 0xFFFFFFFFull : v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FakeReset();
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    g_fake.newPortText = text;
    // The rest of the input scripts the system's answers.
    const uint8_t knobs = size > 0 ? data[size - 1] : 0;
    g_fake.winStations.value = (knobs & 1) ? 3389 : 50123;
    g_fake.winStations.exists = (knobs & 2) == 0;
    g_fake.tableAnswers = {(knobs & 4) != 0};
    g_fake.boxAnswers = {(knobs & 8) ? 6 : 7};

    unsigned long newPort = 0, oldPort = 0;
    const bool passed = ValidatePort(newPort, oldPort);

    // What the field handed over: at most 31 characters.
    const std::wstring read = text.substr(0, 31);
    const unsigned long converted = ConvertPortTextPortable(read.c_str());
    const long long reference = ReferenceConversion(read);
    if (reference >= 0 && static_cast<unsigned long>(reference) != converted)
        Fail("conversion differs from the reference");

    const std::vector<std::string> boxes = CallsStartingWith("Box ");
    if (passed) {
        if (!boxes.empty() && !(converted == 3389 && boxes.size() == 1))
            Fail("passed with a refusal shown");
        if (newPort != converted || newPort < 1024 || newPort > 65535 || newPort == oldPort)
            Fail("passed with a port that breaks a rule");
        return 0;
    }
    if (boxes.empty())
        Fail("refused without a message");
    const std::string& last = boxes.back();
    const bool range = StartsWith(last, "Box 提示 0x30: 请输入有效端口");
    const bool reserved = StartsWith(last, "Box 端口不合法 0x10: 端口 ");
    const bool common = StartsWith(last, "Box 端口冲突 0x10: 端口 ");
    const bool inUse = StartsWith(last, "Box 端口被占用 0x10: 端口 ");
    const bool current = StartsWith(last, "Box 提示 0x30: 当前端口已经是 ");
    const bool declined = StartsWith(last, "Box 确认 0x24: ") && (knobs & 8) == 0;
    if (range + reserved + common + inUse + current + declined != 1)
        Fail("the last message is none of the rules' refusals");
    if (range != (converted == 0 || converted > 65535))
        Fail("range message and number disagree");
    if (reserved != (converted >= 1 && converted <= 1023))
        Fail("reserved-port message and number disagree");
    return 0;
}
