#include "system_dlls_only.h"

#include <windows.h>

namespace tavri::installer::win {

bool loadSystemDllsOnly() {
    // The XP headers know neither; XP's kernel32 lacks the function.
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories && setDefaultDllDirectories(kSearchSystem32)) return true;
    SetDllDirectoryW(L"");
    return false;
}

}  // namespace tavri::installer::win
