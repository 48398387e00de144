#pragma once
// The one support library of the Windows-side tests: finding and driving
// windows, playing the user, running processes, calling automation methods
// by name, and the stored settings. The run's report server is run.sh's.
// Every wait is bounded: a missing window is a failure, never a hang.
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "handles.h"

namespace wintest {

constexpr DWORD kWaitMs = 10000;

// Top-level windows; 0 and nullptr match anything.
struct WindowQuery {
    DWORD processId = 0;
    DWORD threadId = 0;
    const wchar_t* className = nullptr;
    const wchar_t* caption = nullptr;
    bool visibleOnly = true;
};
WindowQuery ownProcess(const wchar_t* className = nullptr, const wchar_t* caption = nullptr);
std::vector<HWND> findWindows(const WindowQuery& query);
// The waits dispatch this thread's messages meanwhile.
HWND waitForWindow(const WindowQuery& query, DWORD timeoutMs = kWaitMs);
bool waitForWindowGone(HWND hwnd, DWORD timeoutMs = kWaitMs);
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);
std::vector<HWND> children(HWND parent);  // direct children in Z (tab) order
HWND focusOfThread(DWORD threadId);

struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring caption, text;
    int icon = 0;  // MB_ICONINFORMATION, ...; 0 for none, -1 for one not recognised
    std::vector<std::wstring> buttons;
};
// Waits for a message box (class #32770 unless the query names one), reads
// it, told its icon by its look (a handle means nothing in another process),
// and presses OK.
MessageBoxView dismissMessageBox(WindowQuery query, DWORD timeoutMs = kWaitMs);
void clickButton(HWND button);  // posted: never blocks on what the button opens
void setText(HWND edit, const std::wstring& text);
// Keyboard input, sent only while target is the foreground window. A thread
// handles posted messages before key input: check a key's effect before
// posting to the window again.
bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys);

// Work on its own thread. The destructor never lets the program go on while
// the thread may still run: past limitMs it reports and ends the program.
class Background {
public:
    explicit Background(std::function<void()> work, DWORD limitMs = 60000);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    // Waits (bounded), answering what other threads send to this thread.
    bool join(DWORD timeoutMs = 30000);

private:
    static DWORD WINAPI run(void* self);
    std::function<void()> work_;
    DWORD limitMs_;
    tavri::win::UniqueKernelHandle thread_;
};
// Runs call() here while user() plays the user on a background thread; once
// user() is done, every window this process still shows is closed (a message
// box by OK, another by its close box) until call() returns, so a test whose
// user missed a window fails instead of hanging. Returns what was closed.
std::vector<std::string> withUser(const std::function<void()>& call,
                                  const std::function<void()>& user);

// A child process, its output in the test's log; ended if still running.
class Process {
public:
    explicit Process(const std::wstring& commandLine, const std::wstring& currentDirectory = L"");
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool started() const { return static_cast<bool>(process_); }
    DWORD pid() const { return pid_; }
    int wait(DWORD timeoutMs = 60000);  // exit code; -1 (and ended) when it did not end in time

private:
    tavri::win::UniqueKernelHandle process_;
    DWORD pid_ = 0;
};
int runProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);
std::wstring besideMe(const wchar_t* fileName);  // next to the test program

std::string narrow(const std::wstring& text);  // UTF-8
std::wstring widen(const std::string& text);
std::wstring readString(HKEY root, const std::wstring& path, const wchar_t* value,
                        bool* found = nullptr);
// Every key ("path") and value ("path | name", "@" for the default) under
// root\path, with the value's text (a string's, or its type and bytes).
void registryTree(HKEY root, const std::wstring& path, std::map<std::wstring, std::wstring>& tree);
// The plug-in's stored settings ("username", "password").
void storeCredentials(const std::string& user, const std::string& password);
void clearStoredSettings();

// Automation calls by name, as scripting clients make them. Arguments in
// natural order; a text argument's BSTR is freed by call(), by-reference ones
// point at the caller's storage.
VARIANT arg(long n);
VARIANT arg(const std::wstring& text);
VARIANT arg(IDispatch* object);
VARIANT ref(BSTR* slot);
VARIANT ref(long* slot);
VARIANT ref(VARIANT* slot);
struct CallResult {
    HRESULT hr = E_FAIL;
    UINT argError = 0;      // of DISP_E_TYPEMISMATCH: the argument's index, last one first
    VARTYPE vt = VT_EMPTY;  // the result's type, and its value:
    long number = 0;        // VT_I4 or VT_BOOL
    std::wstring text;      // VT_BSTR
    long errorNumber = 0;   // the automation error number of a failed call
    std::wstring source, description;
    bool ok() const { return SUCCEEDED(hr); }
};
tavri::win::ComPtr<IDispatch> createPlugin();  // by its ProgID, as the host creates it
// byName: every argument passed as a named one (by its parameter's position).
CallResult call(IDispatch* object, const wchar_t* method, std::vector<VARIANT> args = {},
                bool byName = false);
// An owned BSTR, passed as a typed by-reference argument.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* slot() { return &b_; }
    std::wstring text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : L""; }

private:
    BSTR b_;
};
std::wstring hex(HRESULT hr);

}  // namespace wintest
