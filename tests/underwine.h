#pragma once

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// Whether the Windows build runs under Wine, where the stand-in forum cannot do all that it
// does on Linux or on Windows itself; the tests that need that say why they stand aside.
inline bool underWine()
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}
