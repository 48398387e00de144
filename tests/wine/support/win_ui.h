#pragma once
// The older names of the support library, kept for the tests not yet moved
// to window_query.h, keys.h, user.h, process.h and text.h. New tests include
// those headers instead.
#include "keys.h"
#include "process.h"
#include "text.h"
#include "user.h"
#include "window_query.h"

namespace wintest {

constexpr DWORD kDefaultWaitMs = kWaitMs;

// A message box of any process with this caption, read and closed by OK.
inline MessageBoxView dismissMessageBox(const wchar_t* caption, DWORD timeoutMs = kWaitMs) {
    return dismissMessageBox(WindowQuery{0, 0, L"#32770", caption}, timeoutMs);
}

// Saves a screenshot (BMP) of a window.
bool saveWindowBitmap(HWND hwnd, const std::wstring& path);

}  // namespace wintest
