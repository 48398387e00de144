// settings_test: what only Windows shows of the settings window: the keys,
// the close box, the modal loop and the window's lifetime, driven inside this
// program. The settings command end to end (the host, the window, the
// per-user store) is the demo's (wine_xp_demo); the layout, position and
// opening focus are the golden table's (tests/wine/contract).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

#include "automation_error.h"
#include "frmsett.h"
#include "wintest.h"

namespace {

using namespace wintest;
namespace id = tavri::win::frmsett_id;
using tavri::win::kFrmsettClassName;

// A settings window made by the real factory on this thread (hidden, empty
// fields), and the events it raised, in order. Each event runs its action;
// without one the close box closes, as the form's owner does.
struct Form : tavri::SettingsWindowEvents {
    std::string log;  // "save ", "site ", "close ": read on this thread only
    std::atomic<int> raised{0};
    std::function<void()> saveAction, siteAction, closeAction;
    std::unique_ptr<tavri::SettingsWindow> window = tavri::win::FrmsettFactory().create(*this);

    void raise(const char* name, const std::function<void()>& action) {
        log += name;
        ++raised;
        if (action) action();
    }
    void onSave() override { raise("save ", saveAction); }
    void onSiteButton() override { raise("site ", siteAction); }
    void onCloseBox() override {
        raise(
            "close ", closeAction ? closeAction : [this] { window->close(); });
    }
};

// Runs showModal() on this thread while `user` plays the user on another
// thread, given the window once it is shown, in front and focused. The user
// ends with the window closed or hidden. Returns the quit request the loop
// passed on, if any (taken off the queue).
std::optional<WPARAM> runModal(Form& form, const std::function<void(HWND)>& user) {
    const DWORD owner = GetCurrentThreadId();
    std::optional<WPARAM> quit;
    const auto leftOpen = withUser(
        [&] {
            form.window->showModal();
            MSG msg;
            if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) quit = msg.wParam;
        },
        [&] {
            const HWND hwnd = waitForWindow({0, owner, kFrmsettClassName});
            const bool ready = hwnd && waitUntil(
                                           [&] {
                                               return GetForegroundWindow() == hwnd &&
                                                      IsChild(hwnd, focusOfThread(owner));
                                           },
                                           kWaitMs);
            if (ready)
                user(hwnd);
            else
                ADD_FAILURE() << "the settings window did not come up in front with the focus";
        });
    EXPECT_EQ(leftOpen, std::vector<std::string>{}) << "windows the user left open";
    return quit;
}

// The keys go through the loop's dialog navigation: Enter and Esc in a field
// press nothing (the form has no default or cancel button); Alt+S saves from
// a field and leaves the focus on the button, where Space presses it; Enter
// presses a button that Tab or Shift+Tab walked to. Each step waits for the
// events its keys must have raised by then, so the log shows any extra one.
// The close box only raises its event: the owner leaves the window open the
// first time and discards it inside the second, which ends the loop safely;
// the window class goes with the last window (it points into the module).
TEST(SettingsWindow, KeysAndTheCloseBoxRaiseTheirEventsOnly) {
    Form form;
    form.closeAction = [&] {
        if (form.log.ends_with("close close ")) form.window.reset();
    };
    runModal(form, [&](HWND hwnd) {
        const struct {
            std::initializer_list<WORD> keys;
            int raised;
        } steps[] = {{{VK_RETURN}, 0}, {{VK_ESCAPE}, 0}, {{VK_MENU, 'S'}, 1},     {{VK_SPACE}, 2},
                     {{VK_TAB}, 2},    {{VK_RETURN}, 3}, {{VK_SHIFT, VK_TAB}, 3}, {{VK_RETURN}, 4}};
        for (const auto& step : steps) {
            ASSERT_TRUE(pressChord(hwnd, step.keys));
            EXPECT_TRUE(waitUntil([&] { return form.raised == step.raised; }))
                << "after event " << step.raised;
        }
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(waitUntil([&] { return form.raised == 5; }));
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(waitForWindowGone(hwnd));
    });
    EXPECT_EQ(form.log, "save save site save close close ");
    ASSERT_EQ(tavri::win::liveSettingsWindows(), 0);
    WNDCLASSW info{};
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), kFrmsettClassName, &info))
        << "the class outlives its windows";
}

// The loop dispatches every message of the thread, so its other windows keep
// working; showing the window again from one of its events is an error; a
// failing event is shown and the window keeps what was typed; a quit request
// ends the loop, hides the window with its fields and is passed on. The fields
// take and give back any text, long and beyond the BMP, as UTF-8.
TEST(SettingsWindow, ModalLoop) {
    const std::string stored = "Zo\xC3\xAB \xE5\x90\x8D \xF0\x9F\x98\x80 " + std::string(300, 'x');
    Form form;
    form.window->setAccountName(stored);
    form.saveAction = [] { throw tavri::AutomationError(70, "Permission denied"); };
    form.siteAction = [&] {
        EXPECT_THROW(form.window->showModal(), tavri::AutomationError) << "shown twice";
    };
    const tavri::win::UniqueWindow other(CreateWindowExW(0, L"Edit", L"", WS_OVERLAPPED, 0, 0, 50,
                                                         20, nullptr, nullptr, nullptr, nullptr));
    const DWORD owner = GetCurrentThreadId();
    const auto quit = runModal(form, [&](HWND hwnd) {
        PostMessageW(other.get(), EM_SETLIMITTEXT, 7, 0);
        EXPECT_TRUE(
            waitUntil([&] { return SendMessageW(other.get(), EM_GETLIMITTEXT, 0, 0) == 7; }));
        clickButton(GetDlgItem(hwnd, id::kSiteButton));
        EXPECT_EQ(windowText(GetDlgItem(hwnd, id::kText1)), widen(stored));
        setText(GetDlgItem(hwnd, id::kText1), widen(stored + " typed"));
        clickButton(GetDlgItem(hwnd, id::kSaveButton));
        EXPECT_EQ(dismissMessageBox(ownProcess()).text, L"Permission denied");
        PostThreadMessageW(owner, WM_QUIT, 42, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(hwnd); }));
    });
    EXPECT_EQ(quit, std::optional<WPARAM>(42));
    EXPECT_EQ(form.log, "site save ");
    EXPECT_EQ(form.window->accountName(), stored + " typed");
}

}  // namespace
