#pragma once
// Finding, reading and driving real windows from a test program. Every wait
// is bounded; a missing window is a test failure, never a hang.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace wintest {

constexpr DWORD kWaitMs = 10000;

// Which top-level windows to look at; 0 and nullptr match anything.
struct WindowQuery {
    DWORD processId = 0;
    DWORD threadId = 0;
    const wchar_t* className = nullptr;
    const wchar_t* caption = nullptr;
    bool visibleOnly = true;
};
// Windows of this process only: other programs on the same Wine desktop may
// show windows with the same captions.
WindowQuery ownProcess(const wchar_t* className = nullptr, const wchar_t* caption = nullptr);

std::vector<HWND> findWindows(const WindowQuery& query);
// The first matching window, or nullptr after timeoutMs. Both waits handle
// this thread's messages meanwhile (a quit request stays queued).
HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs = kWaitMs);
bool waitForWindowGone(HWND hwnd, DWORD timeoutMs = kWaitMs);
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);
// Direct children in Z order (the tab order of dialog-like windows).
std::vector<HWND> children(HWND parent);
HWND childById(HWND parent, int id);  // any descendant
HWND findChild(HWND parent, const wchar_t* className, const wchar_t* text);

// A message box as the user sees it.
struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring caption, text;
    // MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR, MB_ICONQUESTION, 0 for
    // none, -1 for an icon that looks like none of these.
    int icon = 0;
    std::vector<std::wstring> buttons;
};
MessageBoxView readMessageBox(HWND box);
// Waits for a message box (class #32770 unless the query names one), reads it
// and presses its OK button. hwnd is nullptr when none came.
MessageBoxView dismissMessageBox(const WindowQuery& query, DWORD timeoutMs = kWaitMs);

// Posted BM_CLICK: never blocks on a modal window the click opens.
void clickButton(HWND button);
void setText(HWND edit, const std::wstring& text);

}  // namespace wintest
