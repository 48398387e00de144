#pragma once
// The settings window's class, registered while at least one settings window
// lives and unregistered with the last one. Creating one pins the module:
// a window left to the system with its thread (leave()) is destroyed only
// after the plug-in has let go of it, so its procedure must stay mapped.
#include <windows.h>

namespace tavri::win::frmsett_class {

HINSTANCE thisModule();  // the module this code is linked into

void acquire(WNDPROC windowProc);  // one more live window; registers with the first
void release();                    // one fewer; unregisters with the last
// One fewer, its window left to the system as its thread ends: touches no
// window and waits for nothing, so it may run under the loader's lock.
void leave();
long live();

}  // namespace tavri::win::frmsett_class
