#pragma once
// Keyboard input as a user types it (SendInput). The keys go to the
// foreground window, so they are only sent while `target` is the foreground
// window; false otherwise.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace wintest {

// The keys go down in order and come up in reverse.
bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys);
bool typeText(HWND target, const std::wstring& text);
HWND focusOfThread(DWORD threadId);

}  // namespace wintest
