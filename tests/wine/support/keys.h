#pragma once
// Keys as a user types them (SendInput). They go to the foreground window, so
// they are only sent while `target` is in front; false otherwise. A thread
// handles its posted messages before its input: see each key's effect before
// posting more (a close request, say), or the keys reach the next window.
#include <windows.h>

#include <initializer_list>
#include <string>

namespace wintest {

bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys);  // down in order, up in reverse
bool typeText(HWND target, const std::wstring& text);
HWND focusOfThread(DWORD threadId);

}  // namespace wintest
