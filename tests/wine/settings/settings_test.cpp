// settings_test: what only Windows shows of the settings window: the keys,
// the close box, the modal loop and the window's lifetime, driven inside this
// program; then the settings command end to end through plughost.exe and the
// per-user store. Its layout, position and opening focus are read back
// against the golden table (tests/wine/contract).
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
// ends the loop, hides the window with its fields and is passed on.
TEST(SettingsWindow, ModalLoop) {
    Form form;
    form.saveAction = [] {
        throw tavri::AutomationError(70, "Permission denied");
    };
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
        clickButton(GetDlgItem(hwnd, id::kCommand2));
        setText(GetDlgItem(hwnd, id::kText1), L"typed");
        clickButton(GetDlgItem(hwnd, id::kCommand1));
        EXPECT_EQ(dismissMessageBox(ownProcess()).text, L"Permission denied");
        PostThreadMessageW(owner, WM_QUIT, 42, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(hwnd); }));
    });
    EXPECT_EQ(quit, std::optional<WPARAM>(42));
    EXPECT_EQ(form.log, "site save ");
    EXPECT_EQ(form.window->accountName(), "typed");
}

// plughost.exe runs the settings command once per step: the fields it opens
// with are what the step before left stored. A long text with characters
// beyond ASCII and beyond the BMP goes through the real fields and the store;
// the close box stores nothing; empty fields are saved as empty.
TEST(SettingsCommand, StoresWhatIsSavedAsTypedAndShowsItNextTime) {
    ASSERT_EQ(runProcess(L"regedit /s \"" + besideMe(L"install.reg") + L"\""), 0)
        << "the host lists the plug-in";
    clearStoredSettings();
    const std::string name = "Zo\xC3\xAB \xE5\x90\x8D \xF0\x9F\x98\x80 " + std::string(256, 'x'),
                      saved = name + "| p w&rd ";
    const struct {
        std::string opens, account, password;
        bool save;  // or press the close box
        std::string stored;
    } steps[] = {
        {"|", name, " p w&rd ", true, saved},
        {saved, "mallory", "guess", false, saved},
        {saved, "", "", true, "|"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE("step " + std::to_string(&step - steps));
        Process host(L"\"" + besideMe(L"plughost.exe") + L"\" /xtavrisett");
        const HWND form = waitForWindow({host.pid(), 0, kFrmsettClassName}, 20000);
        ASSERT_TRUE(form) << "no settings window";
        EXPECT_EQ(narrow(windowText(GetDlgItem(form, id::kText1)) + L"|" +
                         windowText(GetDlgItem(form, id::kText2))),
                  step.opens);
        setText(GetDlgItem(form, id::kText1), widen(step.account));
        setText(GetDlgItem(form, id::kText2), widen(step.password));
        if (step.save)
            clickButton(GetDlgItem(form, id::kCommand1));
        else
            PostMessageW(form, WM_CLOSE, 0, 0);
        EXPECT_TRUE(waitForWindowGone(form));
        EXPECT_EQ(host.wait(20000), 0);
        EXPECT_EQ(storedSetting("username") + "|" + storedSetting("password"), step.stored);
    }
}

}  // namespace
