#include "frmsett_class.h"

#include "frmsett.h"

namespace tavri::win::frmsett_class {
namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
long g_live = 0;

}  // namespace

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

void acquire(WNDPROC windowProc) {
    AcquireSRWLockExclusive(&g_lock);
    if (g_live++ == 0) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = thisModule();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kFrmsettClassName;
        RegisterClassExW(&wc);  // a failure shows up as CreateWindowExW failing
    }
    ReleaseSRWLockExclusive(&g_lock);
}

void release() {
    AcquireSRWLockExclusive(&g_lock);
    if (--g_live == 0) UnregisterClassW(kFrmsettClassName, thisModule());
    ReleaseSRWLockExclusive(&g_lock);
}

long live() {
    AcquireSRWLockShared(&g_lock);
    const long count = g_live;
    ReleaseSRWLockShared(&g_lock);
    return count;
}

}  // namespace tavri::win::frmsett_class
