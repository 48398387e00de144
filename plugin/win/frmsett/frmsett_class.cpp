#include "frmsett_class.h"

#include "com_error.h"
#include "exchange_lock.h"
#include "frmsett.h"

namespace tavri::win::frmsett_class {
namespace {

// Held while the class is registered with the first window or unregistered
// with the last. Threads meet here only when two settings windows open or
// close at the same moment. The module handle is read before it is taken
// (asking for it takes the loader's lock on XP), and a thread that ends, which
// holds the loader's lock, never takes it (leave()).
LONG g_busy = 0;
LONG g_live = 0;

// The module, pinned: it stays mapped until the process ends, whoever calls
// FreeLibrary or CoUninitialize on whichever thread. A thread's window may
// outlive everything the plug-in keeps track of (see leave()), and its
// procedure points into the module. A module that cannot be pinned makes no
// window: HresultError.
HINSTANCE pinnedModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(&thisModule), &module))
        throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
    return module;
}

}  // namespace

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

void acquire(WNDPROC windowProc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = pinnedModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFrmsettClassName;
    const ExchangeLock lock(g_busy);
    // A failure shows up as CreateWindowExW failing; the class may also be
    // left over from windows that were left to the system.
    if (InterlockedIncrement(&g_live) == 1) RegisterClassExW(&wc);
}

void release() {
    const HINSTANCE module = thisModule();
    const ExchangeLock lock(g_busy);
    if (InterlockedDecrement(&g_live) == 0) UnregisterClassW(kFrmsettClassName, module);
}

void leave() { InterlockedDecrement(&g_live); }

long live() { return InterlockedCompareExchange(&g_live, 0, 0); }

}  // namespace tavri::win::frmsett_class
