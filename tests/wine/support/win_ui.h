#pragma once
// Finding, reading and driving real windows from a test program. Every wait
// is bounded; a missing window is a test failure, never a hang.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace wintest {

constexpr DWORD kDefaultWaitMs = 10000;

// First visible top-level window (any process) with this class (nullptr for
// any) and caption, or nullptr after timeoutMs.
HWND waitForWindow(const wchar_t* className, const wchar_t* caption,
                   DWORD timeoutMs = kDefaultWaitMs);
// Waits until the window no longer exists.
bool waitForWindowGone(HWND hwnd, DWORD timeoutMs = kDefaultWaitMs);

std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);
// Direct children in Z order (which is the tab order for dialog-like windows).
std::vector<HWND> children(HWND parent);
HWND childById(HWND parent, int id);  // searches all descendants
// Descendant with this class and text, or nullptr.
HWND findChild(HWND parent, const wchar_t* className, const wchar_t* text);

// A message box as the user sees it.
struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring caption;
    std::wstring text;
    // MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONERROR or 0, worked out from
    // the icon shown in the box; -1 when an icon is shown but not recognised.
    int icon = 0;
    std::vector<std::wstring> buttons;
};
MessageBoxView readMessageBox(HWND box);
// Waits for a message box with this caption, reads it and presses its OK button.
MessageBoxView dismissMessageBox(const wchar_t* caption, DWORD timeoutMs = kDefaultWaitMs);

// Presses a button the way a user would, without blocking on what it opens.
void clickButton(HWND button);
// Types text into an edit control (replaces its content).
void setText(HWND edit, const std::wstring& text);

// Runs work on its own thread while the calling thread is busy (for example
// inside a modal call). join() waits (bounded) and reports whether it finished.
class Background {
public:
    explicit Background(std::function<void()> work);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool join(DWORD timeoutMs = 30000);

private:
    static DWORD WINAPI run(void* self);
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
};

// Runs a command line, waits (bounded) and returns its exit code, or -1.
int runProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Full path of a file next to the running test program.
std::wstring besideMe(const wchar_t* fileName);

// Registry helpers for assertions.
bool keyExists(HKEY root, const std::wstring& path);
std::wstring readString(HKEY root, const std::wstring& path, const wchar_t* value,
                        bool* found = nullptr);

// Saves a PNG-free screenshot (BMP) of a window, for the build artifacts.
bool saveWindowBitmap(HWND hwnd, const std::wstring& path);

}  // namespace wintest
