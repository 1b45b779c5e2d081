// The executable's load configuration. Its DependentLoadFlags make Windows
// (10 version 1607 and later) resolve the program's static imports from the
// system directory only, as MSVC's /DEPENDENTLOADFLAG:0x800 would. MSVC
// builds use that option and the runtime's own record instead. GNU ld keeps
// the record but does not point the image's directory entry at it;
// cmake/pe-post-link.py does that after the link.
#include <windows.h>

#if defined(__MINGW32__)
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = {
    sizeof(IMAGE_LOAD_CONFIG_DIRECTORY64), // Size: the fields up to SEHandlerCount
    0,                                     // TimeDateStamp
    0, 0,                                  // MajorVersion, MinorVersion
    0, 0,                                  // GlobalFlagsClear, GlobalFlagsSet
    0,                                     // CriticalSectionDefaultTimeout
    0, 0,                                  // DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold
    0,                                     // LockPrefixTable
    0, 0,                                  // MaximumAllocationSize, VirtualMemoryThreshold
    0,                                     // ProcessAffinityMask
    0,                                     // ProcessHeapFlags
    0,                                     // CSDVersion
    LOAD_LIBRARY_SEARCH_SYSTEM32,          // DependentLoadFlags (named Reserved1 in these headers)
    0,                                     // EditList
    0,                                     // SecurityCookie: none, the runtime keeps its own
    0, 0,                                  // SEHandlerTable, SEHandlerCount
};
#endif
