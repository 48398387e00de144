#pragma once

namespace tavri::win {

// Dispatches the calling thread's pending window messages and returns when
// the queue is empty. A WM_QUIT met on the way is put back for the thread's
// own message loop.
void dispatchPendingMessages();

}  // namespace tavri::win
