#pragma once
#include <windows.h>

#include <atomic>

namespace tavri::win {

// Waits until done is true or timeoutMs have passed, dispatching the calling
// thread's window messages meanwhile: a message sent or posted to the thread
// is handled as soon as it arrives. Whoever sets done sets event (an
// auto-reset one) after it; event may also be set for other reasons. A
// WM_QUIT met on the way is put back for the thread's own message loop when
// the wait ends. Returns done.
bool waitDispatchingMessages(HANDLE event, const std::atomic<bool>& done, DWORD timeoutMs);

}  // namespace tavri::win
