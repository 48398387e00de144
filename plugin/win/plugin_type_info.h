#pragma once
// _plugin's type information, loaded once for the process: as the dispatch
// interface (what clients get from GetTypeInfo) and as the vtable interface
// (what DispInvoke calls through).
#include <windows.h>
#include <oaidl.h>

#include "handles.h"

namespace tavri::win {

struct PluginTypeInfo {
    ComPtr<ITypeInfo> dispatch, vtable;
};
// Loads it on first use. Throws HresultError.
const PluginTypeInfo& pluginTypeInfo();
// Releases it once nothing uses it (DllCanUnloadNow). Never under the loader
// lock: at process exit it is left to the system.
void releasePluginTypeInfo();

}  // namespace tavri::win
