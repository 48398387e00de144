#include "module.h"

#include "fetch/get_source.h"
#include "frmsett.h"

namespace tavri::win {
namespace {

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

}  // namespace

void setServerModule(HMODULE module) { g_module = module; }

std::wstring serverModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
}

void objectCreated() { InterlockedIncrement(&g_objects); }
void objectDestroyed() { InterlockedDecrement(&g_objects); }
void lockServer(bool lock) {
    if (lock)
        InterlockedIncrement(&g_locks);
    else
        InterlockedDecrement(&g_locks);
}

bool canUnloadNow() {
    return InterlockedCompareExchange(&g_objects, 0, 0) == 0 &&
           InterlockedCompareExchange(&g_locks, 0, 0) == 0 && liveSettingsWindows() == 0 &&
           liveFetchWorkers() == 0;
}

}  // namespace tavri::win
