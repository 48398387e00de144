#pragma once
// The settings window's class, registered while at least one settings window
// lives and unregistered with the last one. Creating one pins the module:
// a window left to the system with its thread (leave()) is destroyed only
// after the plug-in has let go of it, so its procedure must stay mapped; no
// window is made when the module cannot be pinned.
#include <windows.h>

namespace tavri::win::frmsett_class {

HINSTANCE thisModule();  // the module this code is linked into

// One more live window; registers with the first. Throws HresultError, and
// counts nothing, when the module cannot be pinned.
void acquire(WNDPROC windowProc);
void release();  // one fewer; unregisters with the last
// One fewer, its window left to the system as its thread ends: touches no
// window and waits for nothing, so it may run under the loader's lock.
void leave();
long live();

}  // namespace tavri::win::frmsett_class
