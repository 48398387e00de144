#include "keys.h"

#include <vector>

namespace wintest {
namespace {

INPUT key(WORD vk, DWORD flags, wchar_t unit = 0) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki = {vk, unit, flags, 0, 0};
    return in;
}

bool send(HWND target, std::vector<INPUT> inputs) {
    return target && GetForegroundWindow() == target &&
           SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

}  // namespace

bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys) {
    std::vector<INPUT> inputs;
    for (WORD vk : virtualKeys) inputs.push_back(key(vk, 0));
    for (auto it = std::rbegin(virtualKeys); it != std::rend(virtualKeys); ++it) inputs.push_back(key(*it, KEYEVENTF_KEYUP));
    return send(target, inputs);
}

bool typeText(HWND target, const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text)
        for (DWORD up : {0UL, static_cast<DWORD>(KEYEVENTF_KEYUP)}) inputs.push_back(key(0, KEYEVENTF_UNICODE | up, c));
    return send(target, inputs);
}

HWND focusOfThread(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

}  // namespace wintest
