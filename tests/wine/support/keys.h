#pragma once
// Keyboard input as a user types it (SendInput). The keys go to the
// foreground window, so they are only sent while `target` is the foreground
// window; false otherwise. A thread handles its posted messages before its
// input: a test sees each key's effect before it posts anything more (a close
// request, say), or the keys are left for whichever window comes next.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace wintest {

// The keys go down in order and come up in reverse.
bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys);
bool typeText(HWND target, const std::wstring& text);
HWND focusOfThread(DWORD threadId);

}  // namespace wintest
