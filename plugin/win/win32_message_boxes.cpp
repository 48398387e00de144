#include "win32_message_boxes.h"

#include <windows.h>

#include "text.h"

namespace tavri::win {
namespace {

UINT iconStyle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return MB_ICONINFORMATION;
        case MessageIcon::Warning:
            return MB_ICONWARNING;
        case MessageIcon::Critical:
            return MB_ICONERROR;
    }
    return 0;
}

// The box belongs to the window the user is working in, if that is ours.
HWND ownerWindow() {
    HWND active = GetActiveWindow();
    DWORD process = 0;
    if (active && GetWindowThreadProcessId(active, &process) && process == GetCurrentProcessId())
        return active;
    return nullptr;
}

}  // namespace

void Win32MessageBoxes::show(std::string_view text, std::string_view caption, MessageIcon icon) {
    const std::wstring wideText = toWide(text);
    const std::wstring wideCaption = toWide(caption);
    MessageBoxW(ownerWindow(), wideText.c_str(), wideCaption.c_str(), MB_OK | iconStyle(icon));
}

}  // namespace tavri::win
