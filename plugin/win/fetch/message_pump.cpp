#include "message_pump.h"

#include <windows.h>

namespace tavri::win {

void dispatchPendingMessages() {
    // Asking whether anything waits is several times cheaper than an empty
    // PeekMessage, and nothing usually waits.
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace tavri::win
