#pragma once
// Driving the settings window from the test program that owns it: the window
// runs modally on the main thread while a background thread plays the user.
#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "frmsett.h"

namespace settings_test {

// Counts the window's events; each event can be given an action (closing the
// window, throwing, ...). By default the close box closes the window, as the
// form's owner does.
class FakeEvents : public tavri::SettingsWindowEvents {
public:
    std::atomic<int> saves{0}, siteClicks{0}, closeBoxes{0};
    std::function<void()> onSaveAction, onSiteAction, onCloseAction;
    tavri::SettingsWindow* window = nullptr;

    void onSave() override {
        ++saves;
        if (onSaveAction) onSaveAction();
    }
    void onSiteButton() override {
        ++siteClicks;
        if (onSiteAction) onSiteAction();
    }
    void onCloseBox() override {
        ++closeBoxes;
        if (onCloseAction) onCloseAction();
        else if (window) window->close();
    }
};

// A window made by the real factory, wired to its fake events.
struct TestForm {
    FakeEvents events;
    std::unique_ptr<tavri::SettingsWindow> window;
    TestForm();
    HWND hwnd() const;  // the form's window on this thread (hidden or not)
};

// The settings form window owned by a thread, shown or hidden; nullptr if none.
HWND formOfThread(DWORD threadId);
HWND formOfProcess(DWORD processId, bool visibleOnly);

struct ModalResult {
    bool timedOut = false;     // the loop had to be ended by WM_QUIT from the watchdog
    bool quitReposted = false;
    WPARAM quitCode = 0;
};

// Runs window.showModal() on this thread while `user` runs on a background
// thread with the form's handle once the form is visible, in the foreground
// and has the focus on one of its controls (nullptr if that never happened).
// The loop is ended after limitMs at the latest; the caller's thread message
// queue is left without WM_QUIT.
ModalResult runModal(tavri::SettingsWindow& window, const std::function<void(HWND form)>& user,
                     DWORD limitMs = 20000);

// Keyboard input as a user types it. The keys go to the foreground window, so
// they are only sent while `target` is the foreground window; false otherwise.
// A chord's keys go down in order and come up in reverse.
bool pressChord(HWND target, std::initializer_list<WORD> virtualKeys);
bool typeText(HWND target, const std::wstring& text);

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
HWND focusOfThread(DWORD threadId);

}  // namespace settings_test
