// The port text conversion against the Windows runtime's own wcstoul, and
// the 31-character limit of reading the new-port field.
#include "check.h"
#include "conversion_cases.h"
#include "../../workflow/ui.h"
#include "../../shell/window.h"
#include "../../workflow/portconv.h"

#include <cwchar>

HWND g_hwnd = nullptr;

static void RuntimeAgreesWithPortableConversion()
{
    BeginCase("differential: runtime wcstoul and the portable conversion");
    for (const ConversionCase& c : kConversionCases) {
        const long long runtime = wcstoul(c.text, nullptr, 10);
        const char* const file = kConversionCasesFile;
        bool ok = CheckEqual(static_cast<long long>(c.expected), runtime, "wcstoul", file, c.line);
        ok = CheckEqual(runtime, static_cast<long long>(ConvertPortTextPortable(c.text)), "ConvertPortTextPortable",
                        file, c.line) && ok;
        ok = CheckEqual(runtime, static_cast<long long>(ConvertPortText(c.text)), "ConvertPortText", file, c.line) && ok;
        if (!ok)
            printf("  case: %s\n", c.label);
    }
    // Beyond ASCII the runtime decides; shown for the record, not compared.
    printf("  note: runtime wcstoul of full-width \"８０８０\" gives %lu\n", wcstoul(L"\xFF18\xFF10\xFF18\xFF10", nullptr, 10));
}

static void FieldIsReadUpTo31Characters()
{
    BeginCase("the new-port field is read up to 31 characters");
    g_hwnd = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, g_hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_NEWPORT)), nullptr, nullptr);
    CHECK(edit != nullptr);
    const std::wstring text = std::wstring(31, L'0') + L"8080";
    SetWindowTextW(edit, text.c_str());

    wchar_t buffer[32];
    wmemset(buffer, L'#', ARRAYSIZE(buffer));
    ReadNewPortText(buffer, ARRAYSIZE(buffer));
    CHECK_EQ(std::wstring(31, L'0'), std::wstring(buffer));
    CHECK_EQ(0LL, static_cast<long long>(ConvertPortText(buffer)));

    SetWindowTextW(edit, L" 12345abc");
    ReadNewPortText(buffer, ARRAYSIZE(buffer));
    CHECK_EQ(12345LL, static_cast<long long>(ConvertPortText(buffer)));
    DestroyWindow(g_hwnd);
}

int wmain()
{
    RuntimeAgreesWithPortableConversion();
    FieldIsReadUpTo31Characters();
    return TestSummary("conversion_test");
}
