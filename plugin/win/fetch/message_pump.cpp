#include "message_pump.h"

namespace tavri::win {

bool waitDispatchingMessages(const HANDLE* events, DWORD count, const std::atomic<bool>& done,
                             DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    const auto left = [&]() -> DWORD {
        const DWORD spent = GetTickCount() - start;  // right across the tick count's wrap
        return spent < timeoutMs ? timeoutMs - spent : 0;
    };
    bool quit = false;
    WPARAM quitCode = 0;
    // MWMO_INPUTAVAILABLE: input already in the queue wakes the wait too, not
    // only input that arrived since the queue was last looked at.
    while (!done.load(std::memory_order_acquire)) {
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(count, events, left(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken < WAIT_OBJECT_0 + count) continue;
        if (woken != WAIT_OBJECT_0 + count || left() == 0) break;
        // Ends with the job: a window that posts to itself from its own
        // handler would otherwise keep this loop going to the bound.
        MSG msg;
        while (left() > 0 && !done.load(std::memory_order_acquire) &&
               PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Held back until the wait ends: in the queue it would wake
                // every wait at once.
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return done.load(std::memory_order_acquire);
}

}  // namespace tavri::win
