// The planting test's control: a program with no defences, run from the
// folder of planted marker DLLs. It imports iphlpapi and comctl32 statically
// (no manifest, so no side-by-side redirect); iphlpapi brings dnsapi. Every
// marker that the search order can reach leaves its mark, which proves that
// a clean run of the real program means something.
#include <winsock2.h>
#include <iphlpapi.h>
#include <commctrl.h>

int wmain()
{
    ULONG interfaces = 0;
    GetNumberOfInterfaces(&interfaces);
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    return 0;
}
