#pragma once
#include <windows.h>

#include <atomic>

namespace tavri::win {

// Waits until done is true or timeoutMs have passed, dispatching the calling
// thread's window messages meanwhile: a message sent or posted to the thread
// is handled as soon as it arrives. Whoever sets done sets one of the count
// events (auto-reset ones) after it; they may also be set for other reasons.
// A WM_QUIT met on the way is put back for the thread's own message loop when
// the wait ends. Returns done.
bool waitDispatchingMessages(const HANDLE* events, DWORD count, const std::atomic<bool>& done,
                             DWORD timeoutMs);

}  // namespace tavri::win
