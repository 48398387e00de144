#pragma once
// Process-wide state of the server: its module handle and the counts that
// decide whether the DLL may be unloaded.
#include <windows.h>

#include <string>

namespace tavri::win {

void setServerModule(HMODULE module);  // from DllMain
// Full path of Tavri.dll as loaded; empty when it cannot be determined.
std::wstring serverModulePath();

// Live COM objects of this server (plugin objects and class factories).
void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
// True when nothing the server handed out or shows is alive, and no fetch
// worker runs.
bool canUnloadNow();

}  // namespace tavri::win
