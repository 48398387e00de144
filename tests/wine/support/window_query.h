#pragma once
// Finding, reading and driving real windows. Every wait is bounded and
// handles this thread's messages meanwhile (a quit request stays queued).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace wintest {

constexpr DWORD kWaitMs = 10000;

// Top-level windows to look for; 0 and nullptr match any.
struct WindowQuery {
    DWORD processId = 0;
    DWORD threadId = 0;
    const wchar_t* className = nullptr;
    const wchar_t* caption = nullptr;
    bool visibleOnly = true;
};
// This process only: other programs on the Wine desktop show the same captions.
WindowQuery ownProcess(const wchar_t* className = nullptr, const wchar_t* caption = nullptr);
std::vector<HWND> findWindows(const WindowQuery& query);
HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs = kWaitMs);  // nullptr if none came
bool waitForWindowGone(HWND hwnd, DWORD timeoutMs = kWaitMs);
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);
std::vector<HWND> children(HWND parent);  // direct children in Z (tab) order
HWND childById(HWND parent, int id);      // any descendant
HWND findChild(HWND parent, const wchar_t* className, const wchar_t* text);

struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring caption, text;
    int icon = 0;  // MB_ICONINFORMATION, _WARNING, _ERROR, _QUESTION; 0 none; -1 unknown
    std::vector<std::wstring> buttons;
};
MessageBoxView readMessageBox(HWND box);
// Waits for a message box (class #32770 unless the query names one), reads
// it and presses OK; hwnd is nullptr when none came.
MessageBoxView dismissMessageBox(const WindowQuery& query, DWORD timeoutMs = kWaitMs);
void clickButton(HWND button);  // posted BM_CLICK: never blocks on what it opens
void setText(HWND edit, const std::wstring& text);

}  // namespace wintest
