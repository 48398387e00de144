#pragma once
// What the tag tests do again and again: keep credentials where the plug-in
// reads them, call the plug-in the way the host does, read what reached the
// report server, and answer the credentials prompt of a failed plan limit.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "com_call.h"
#include "handles.h"
#include "win_ui.h"

namespace tagtest {

inline constexpr const char* kStoredUser = "gina.tavri";
inline constexpr const char* kStoredPassword = "s3cret";
inline constexpr const wchar_t* kAppTitle = L"Tavri Plugin";
inline constexpr const wchar_t* kWarningText = L"username or password incorrect";

// The per-user settings of the plug-in ("username", "password").
void storeCredentials(const std::string& user, const std::string& password);
std::string storedSetting(const char* key);

struct TagCall {
    HRESULT hr = E_FAIL;
    long errorNumber = 0;   // automation error number of a failed call
    bool handled = false;   // the Boolean result
    std::wstring result;    // sResult after the call
    bool ok() const { return SUCCEEDED(hr); }
};

// A plug-in object created by its ProgID, as the host creates it, and called
// by name through IDispatch with by-reference string arguments.
class Plugin {
public:
    Plugin();
    explicit operator bool() const { return static_cast<bool>(object_); }
    TagCall parseTag(const std::wstring& tag, const std::wstring& resultOnEntry = L"untouched");
    wintest::CallResult parseCommand(const std::wstring& command);

private:
    tavri::win::ComPtr<IDispatch> object_;
};

// The four-line statistics text with its formatting codes.
std::wstring statistics(const std::wstring& planName, const std::wstring& used,
                        const std::wstring& limit, const std::wstring& left);

// Report requests that reached this test's server, in arrival order.
struct Request {
    std::string path;
    std::string user;
    std::string password;
};
std::vector<Request> serverRequests();
// Whether every request carried exactly these credentials.
bool allCarry(const std::vector<Request>& requests, const std::string& user,
              const std::string& password);

// Windows are looked for in this process only: other programs on the same
// Wine desktop may show windows with the same captions.
// The first visible top-level window of this process with this class and
// caption, or nullptr after timeoutMs.
HWND waitForOwnWindow(const wchar_t* className, const wchar_t* caption,
                      DWORD timeoutMs = wintest::kDefaultWaitMs);
// Waits for a message box of this process, reads it and presses its OK button.
wintest::MessageBoxView dismissOwnMessageBox(DWORD timeoutMs = wintest::kDefaultWaitMs);
// The settings form once this process shows it.
HWND waitForSettingsForm(DWORD timeoutMs = wintest::kDefaultWaitMs);

// The warning of a failed plan limit and the settings form shown after it.
struct CredentialsPrompt {
    wintest::MessageBoxView warning;
    HWND form = nullptr;
    std::string user;      // the form's fields when it appeared
    std::string password;
};
// Waits for the warning, presses its OK button, then waits for the form.
CredentialsPrompt answerWarning(DWORD warningTimeoutMs = wintest::kDefaultWaitMs);
void typeCredentials(HWND form, const std::string& user, const std::string& password);
std::string formUser(HWND form);
std::string formPassword(HWND form);
// Presses the form's close box or its save button; true once the form is gone.
bool pressCloseBox(HWND form);
bool pressSave(HWND form);

// Visible top-level windows of this process (message boxes, forms).
std::vector<HWND> visibleWindowsOfThisProcess();

// Runs `call` on this thread while `user` plays the user on a background
// thread. Once `user` is done, every window this process still shows is
// closed (a message box by its OK button, any other window by its close box)
// until `call` returns, so a test whose user missed a window fails instead of
// hanging. Returns what was closed that way, "class \"caption\"" each.
std::vector<std::string> withUser(const std::function<void()>& call,
                                  const std::function<void()>& user);

// Runs work on the thread that made this object, from inside whatever message
// loop that thread is in (a modal window's, for instance). post() may be
// called from any thread; waitDone() waits (bounded) for the work to finish.
class OnOwnerThread {
public:
    OnOwnerThread();
    ~OnOwnerThread();
    OnOwnerThread(const OnOwnerThread&) = delete;
    OnOwnerThread& operator=(const OnOwnerThread&) = delete;
    void post(std::function<void()> work);
    bool waitDone(DWORD timeoutMs);

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    std::function<void()> work_;
    tavri::win::UniqueWindow window_;
    tavri::win::UniqueKernelHandle done_;
};

std::string narrow(const std::wstring& text);  // UTF-8
std::wstring widen(const std::string& text);

}  // namespace tagtest
