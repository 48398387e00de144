#include "form_session.h"

#include <vector>

#include "win_ui.h"

namespace settings_test {
namespace {

struct FormSearch {
    DWORD processId;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK matchForm(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<FormSearch*>(param);
    if (wintest::className(hwnd) != tavri::win::kFrmsettClassName) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
    if (search->processId) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != search->processId) return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

bool g_watchdogFired = false;

void CALLBACK endLoop(HWND, UINT, UINT_PTR, DWORD) {
    g_watchdogFired = true;
    PostQuitMessage(0);
}

INPUT key(WORD vk, DWORD flags) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = flags;
    return in;
}

}  // namespace

TestForm::TestForm() : window(tavri::win::FrmsettFactory().create(events)) {
    events.window = window.get();
}

HWND TestForm::hwnd() const { return formOfThread(GetCurrentThreadId()); }

HWND formOfThread(DWORD threadId) {
    FormSearch search{0, false, nullptr};
    EnumThreadWindows(threadId, matchForm, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND formOfProcess(DWORD processId, bool visibleOnly) {
    FormSearch search{processId, visibleOnly, nullptr};
    EnumWindows(matchForm, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ModalResult runModal(tavri::SettingsWindow& window, const std::function<void(HWND)>& user,
                     DWORD limitMs) {
    const DWORD mainThread = GetCurrentThreadId();
    g_watchdogFired = false;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, limitMs, endLoop);
    std::atomic<bool> loopEnded{false}, playerEndedLoop{false};

    wintest::Background player([&] {
        HWND form = nullptr;
        waitUntil([&] {
            HWND f = formOfThread(mainThread);
            HWND focus = focusOfThread(mainThread);
            if (f && IsWindowVisible(f) && GetForegroundWindow() == f && focus &&
                IsChild(f, focus))
                form = f;
            return form != nullptr;
        }, 10000);
        user(form);
        // A player that gave up early leaves the window open: end the loop.
        if (!waitUntil([&] { return loopEnded.load(); }, 3000)) {
            playerEndedLoop = true;
            PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
        }
    });
    window.showModal();
    loopEnded = true;
    KillTimer(nullptr, watchdog);

    ModalResult result;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        result.quitReposted = true;
        result.quitCode = msg.wParam;
    }
    // The player may still be waiting on the window: give it a bounded end.
    const bool joined = player.join(limitMs);
    PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // a late one from the player
    result.timedOut = g_watchdogFired || playerEndedLoop || !joined;
    return result;
}

bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys) {
    if (!target || GetForegroundWindow() != target) return false;
    std::vector<INPUT> inputs;
    for (WORD vk : virtualKeys) inputs.push_back(key(vk, 0));
    for (auto it = std::rbegin(virtualKeys); it != std::rend(virtualKeys); ++it)
        inputs.push_back(key(*it, KEYEVENTF_KEYUP));
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

bool typeText(HWND target, const std::wstring& text) {
    if (!target || GetForegroundWindow() != target) return false;
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        INPUT down = key(0, KEYEVENTF_UNICODE);
        down.ki.wScan = c;
        INPUT up = down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(down);
        inputs.push_back(up);
    }
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

HWND focusOfThread(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

}  // namespace settings_test
