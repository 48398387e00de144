#include "frmsett_class.h"

#include "exchange_lock.h"
#include "frmsett.h"

namespace tavri::win::frmsett_class {
namespace {

// Held while the count changes and the class is registered or unregistered.
// Threads meet here only when two settings windows open or close at the same
// moment.
LONG g_busy = 0;
LONG g_live = 0;

}  // namespace

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

void acquire(WNDPROC windowProc) {
    const ExchangeLock lock(g_busy);
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
}

void release() {
    const ExchangeLock lock(g_busy);
    if (--g_live == 0) UnregisterClassW(kFrmsettClassName, thisModule());
}

long live() { return InterlockedCompareExchange(&g_live, 0, 0); }

}  // namespace tavri::win::frmsett_class
