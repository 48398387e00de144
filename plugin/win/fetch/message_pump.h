#pragma once
#include <windows.h>

namespace tavri::win {

// Waits until event is set or timeoutMs have passed, dispatching the calling
// thread's window messages meanwhile: a message sent or posted to the thread
// is handled as soon as it arrives. A WM_QUIT met on the way is put back for
// the thread's own message loop when the wait ends. True when event was set.
bool waitDispatchingMessages(HANDLE event, DWORD timeoutMs);

}  // namespace tavri::win
