#pragma once
// The settings window's class, registered while at least one settings window
// lives and unregistered with the last one, so an unloaded DLL never leaves a
// class behind whose window procedure points into it.
#include <windows.h>

namespace tavri::win::frmsett_class {

HINSTANCE thisModule();  // the module this code is linked into

void acquire(WNDPROC windowProc);  // one more live window; registers with the first
void release();                    // one fewer; unregisters with the last
long live();

}  // namespace tavri::win::frmsett_class
