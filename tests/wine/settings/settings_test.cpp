// settings_test: what only Windows shows of the settings window: the keyboard,
// the buttons and close box, the modal loop and the window's lifetime, driven
// inside this program; then the settings command end to end through
// plughost.exe and the per-user store.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

#include "automation_error.h"
#include "frmsett.h"
#include "keys.h"
#include "process.h"
#include "text.h"
#include "user.h"
#include "window_query.h"

namespace {

using namespace wintest;
namespace id = tavri::win::frmsett_id;
using tavri::win::kFrmsettClassName;

// Counts the window's events; each can be given an action. By default the
// close box closes the window, as the form's owner does.
class Events : public tavri::SettingsWindowEvents {
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

HWND formOfThread(DWORD threadId, bool visibleOnly) {
    const auto found = findWindows({0, threadId, kFrmsettClassName, nullptr, visibleOnly});
    return found.empty() ? nullptr : found.front();
}

// A window made by the real factory on this thread (hidden, empty fields).
struct TestForm {
    Events events;
    std::unique_ptr<tavri::SettingsWindow> window = tavri::win::FrmsettFactory().create(events);
    TestForm() { events.window = window.get(); }
    HWND hwnd() const { return formOfThread(GetCurrentThreadId(), false); }
};

bool g_watchdogFired = false;
void CALLBACK endLoop(HWND, UINT, UINT_PTR, DWORD) {
    g_watchdogFired = true;
    PostQuitMessage(0);
}

// Runs showModal() on this thread while `user` plays the user on another
// thread, given the form once it is shown, in front and focused (nullptr if
// that never happens). The user ends with the form closed or hidden; a form
// left open, or a loop still running after 20 s, fails the test. Returns the
// quit request the loop passed on, if any (taken off the queue).
std::optional<WPARAM> runModal(tavri::SettingsWindow& window, const std::function<void(HWND)>& user) {
    const DWORD owner = GetCurrentThreadId();
    std::optional<WPARAM> quit;
    g_watchdogFired = false;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 20000, endLoop);
    const auto leftOpen = withUser([&] {
        window.showModal();
        KillTimer(nullptr, watchdog);
        MSG msg;
        if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) quit = msg.wParam;
    }, [&] {
        HWND form = nullptr;
        const bool ready = waitUntil([&] {
            form = formOfThread(owner, true);
            const HWND focus = focusOfThread(owner);
            return form && GetForegroundWindow() == form && focus && IsChild(form, focus);
        }, kWaitMs);
        user(ready ? form : nullptr);
    });
    EXPECT_FALSE(g_watchdogFired) << "the modal loop had to be ended";
    EXPECT_EQ(leftOpen, std::vector<std::string>{}) << "windows the user left open";
    return g_watchdogFired ? std::nullopt : quit;
}

bool focusIs(HWND form, int controlId) {
    return waitUntil([&] {
        return focusOfThread(GetWindowThreadProcessId(form, nullptr)) == GetDlgItem(form, controlId);
    });
}

bool closeAndWait(HWND form) {
    PostMessageW(form, WM_CLOSE, 0, 0);
    return waitForWindowGone(form);
}

TEST(SettingsKeyboard, TabWalksTheTabStopsAndEnterOrEscInAFieldPressNothing) {
    TestForm form;
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        // The walk forward wraps round; Shift+Tab walks back.
        const struct { bool back; int focus; } walk[] = {
            {false, id::kText1}, {false, id::kCommand1}, {false, id::kCommand2}, {false, id::kText2},
            {true, id::kCommand2}, {true, id::kCommand1}, {true, id::kText1}};
        for (const auto& step : walk) {
            ASSERT_TRUE(step.back ? pressChord(hwnd, {VK_SHIFT, VK_TAB}) : pressChord(hwnd, {VK_TAB}));
            EXPECT_TRUE(focusIs(hwnd, step.focus)) << "expected control " << step.focus;
        }
        // Enter and Esc in either field; the text typed after them shows they
        // were handled, and did nothing (having passed over the buttons made
        // none of them the default).
        for (int field : {id::kText1, id::kText2}) {
            ASSERT_TRUE(focusIs(hwnd, field));
            ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}) && pressChord(hwnd, {VK_ESCAPE}));
            ASSERT_TRUE(typeText(hwnd, L"a b"));
            EXPECT_TRUE(waitUntil([&] { return windowText(GetDlgItem(hwnd, field)) == L"a b"; }));
            if (field == id::kText1) ASSERT_TRUE(pressChord(hwnd, {VK_SHIFT, VK_TAB}));  // to Text2
        }
        EXPECT_EQ(form.events.saves + form.events.siteClicks + form.events.closeBoxes, 0);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_TRUE(closeAndWait(hwnd));
    });
}

TEST(SettingsKeyboard, SpaceOrEnterPressAFocusedButton) {
    TestForm form;
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}) && pressChord(hwnd, {VK_TAB}));
        ASSERT_TRUE(focusIs(hwnd, id::kCommand1));
        ASSERT_TRUE(pressChord(hwnd, {VK_SPACE}));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 1; }));
        ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 2; }));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}) && pressChord(hwnd, {VK_RETURN}));
        EXPECT_TRUE(waitUntil([&] { return form.events.siteClicks == 1; }));
        EXPECT_EQ(form.events.saves, 2);
        EXPECT_TRUE(closeAndWait(hwnd));
    });
}

TEST(SettingsKeyboard, AltSSavesFromEitherField) {
    TestForm form;
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        for (int field : {id::kText2, id::kText1}) {
            ASSERT_TRUE(focusIs(hwnd, field));
            const int before = form.events.saves;
            ASSERT_TRUE(typeText(hwnd, L"s"));  // a plain "s" is text, not the access key
            ASSERT_TRUE(waitUntil([&] { return windowText(GetDlgItem(hwnd, field)) == L"s"; }));
            ASSERT_TRUE(pressChord(hwnd, {VK_MENU, 'S'}));
            EXPECT_TRUE(waitUntil([&] { return form.events.saves == before + 1; })) << "Alt+S in " << field;
            ASSERT_TRUE(pressChord(hwnd, {VK_SHIFT, VK_TAB}));  // the pressed button has the focus
        }
        EXPECT_TRUE(focusIs(hwnd, id::kText1));
        EXPECT_TRUE(closeAndWait(hwnd));
    });
    EXPECT_EQ(form.events.saves, 2);
}

TEST(SettingsEvents, ButtonsAndCloseBoxRaiseTheirEventsAndOnlyTheOwnerCloses) {
    TestForm form;
    form.events.onCloseAction = [&] {
        if (form.events.closeBoxes == 2) form.window->close();
    };
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        clickButton(GetDlgItem(hwnd, id::kCommand2));
        EXPECT_TRUE(waitUntil([&] { return form.events.siteClicks == 1; }));
        clickButton(GetDlgItem(hwnd, id::kCommand1));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 1; }));
        // The owner leaves the window open on the first close box ...
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(waitUntil([&] { return form.events.closeBoxes == 1; }));
        Sleep(100);
        EXPECT_TRUE(IsWindowVisible(hwnd)) << "the owner decides, not the window";
        // ... and closes it on the second, through the system menu this time.
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(waitForWindowGone(hwnd));
    });
    EXPECT_EQ(form.events.siteClicks, 1);
    EXPECT_EQ(form.events.saves, 1);
    EXPECT_EQ(form.events.closeBoxes, 2);
}

TEST(SettingsFields, KeepTheirTextWhileHiddenAndRoundTripAnyText) {
    TestForm form;
    const HWND hwnd = form.hwnd();
    ASSERT_TRUE(hwnd);
    EXPECT_EQ(form.window->accountName() + form.window->password(), "") << "created empty";
    // Latin, CJK and a character beyond the BMP; blanks and "&"; empty; long.
    const std::string texts[] = {"Zo\xC3\xAB \xE5\x90\x8D\xE5\x89\x8D \xF0\x9F\x98\x80", " a&b = c ", "",
                                 std::string(5000, 'x')};
    for (const std::string& text : texts) {
        form.window->setAccountName(text);
        form.window->setPassword(text);
        EXPECT_EQ(windowText(GetDlgItem(hwnd, id::kText1)), widen(text)) << text;
        EXPECT_EQ(windowText(GetDlgItem(hwnd, id::kText2)), widen(text)) << text;
        EXPECT_EQ(form.window->accountName(), text);
        EXPECT_EQ(form.window->password(), text);
    }
    setText(GetDlgItem(hwnd, id::kText1), L"typed");  // what the user types replaces it
    EXPECT_EQ(form.window->accountName(), "typed");
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST(SettingsModalLoop, AQuitRequestEndsTheLoopKeepsTheFieldsAndIsPassedOn) {
    TestForm form;
    form.window->setAccountName("kept");
    const DWORD owner = GetCurrentThreadId();
    const auto quit = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        PostThreadMessageW(owner, WM_QUIT, 42, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(hwnd); }));
    });
    EXPECT_EQ(quit, std::optional<WPARAM>(42));
    ASSERT_TRUE(form.hwnd()) << "the window stays, hidden";
    EXPECT_FALSE(IsWindowVisible(form.hwnd()));
    EXPECT_EQ(form.window->accountName(), "kept");
}

TEST(SettingsModalLoop, OtherWindowsOfTheThreadKeepWorking) {
    TestForm form;
    const tavri::win::UniqueWindow other(CreateWindowExW(0, L"Edit", L"", WS_OVERLAPPED, 0, 0, 50, 20,
                                                         nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(other);
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        // Sent messages are answered, posted ones dispatched, meanwhile.
        setText(other.get(), L"from outside");
        EXPECT_EQ(windowText(other.get()), L"from outside");
        PostMessageW(other.get(), EM_SETLIMITTEXT, 7, 0);
        EXPECT_TRUE(waitUntil([&] { return SendMessageW(other.get(), EM_GETLIMITTEXT, 0, 0) == 7; }));
        EXPECT_TRUE(closeAndWait(hwnd));
    });
}

TEST(SettingsModalLoop, ShowingWhileShownOrAfterClosingIsAnError) {
    TestForm form;
    int nestedError = 0;
    form.events.onSiteAction = [&] {
        try {
            form.window->showModal();
        } catch (const tavri::AutomationError& e) {
            nestedError = e.number();
        }
    };
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        clickButton(GetDlgItem(hwnd, id::kCommand2));
        EXPECT_TRUE(waitUntil([&] { return form.events.siteClicks == 1; }));
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_TRUE(closeAndWait(hwnd));
    });
    EXPECT_EQ(nestedError, tavri::error::kFormAlreadyModal);
    EXPECT_THROW(form.window->showModal(), tavri::AutomationError) << "closed for good";
}

TEST(SettingsEvents, AFailingEventIsShownAndTheWindowKeepsWhatWasTyped) {
    TestForm form;
    form.events.onSaveAction = [] { throw tavri::AutomationError(70, "Permission denied"); };
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        setText(GetDlgItem(hwnd, id::kText1), L"someone");
        clickButton(GetDlgItem(hwnd, id::kCommand1));
        const MessageBoxView box = dismissMessageBox(ownProcess());
        EXPECT_EQ(box.text, L"Permission denied");
        EXPECT_EQ(box.icon, MB_ICONERROR);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_EQ(form.window->accountName(), "someone");
        EXPECT_TRUE(closeAndWait(hwnd));
    });
    EXPECT_EQ(form.events.saves, 1);
}

TEST(SettingsLifetime, DiscardingTheWindowInsideItsCloseEventEndsTheLoopSafely) {
    TestForm form;
    form.events.onCloseAction = [&] { form.window.reset(); };
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd);
        EXPECT_TRUE(closeAndWait(hwnd));
    });
    EXPECT_EQ(form.window, nullptr);
    EXPECT_EQ(form.hwnd(), nullptr);
}

TEST(SettingsLifetime, LiveWindowsAreCountedAndTheClassGoesWithTheLast) {
    const long before = tavri::win::liveSettingsWindows();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    const auto classExists = [&] { return GetClassInfoExW(GetModuleHandleW(nullptr), kFrmsettClassName, &info) != 0; };
    {
        TestForm first, second;
        EXPECT_EQ(tavri::win::liveSettingsWindows(), before + 2);
        EXPECT_TRUE(classExists());
        first.window->close();  // a closed window counts until it is discarded
        EXPECT_EQ(tavri::win::liveSettingsWindows(), before + 2);
        first.window.reset();
        EXPECT_EQ(tavri::win::liveSettingsWindows(), before + 1);
        second.window->setAccountName("second");
        EXPECT_EQ(second.window->accountName(), "second") << "independent of the first";
    }
    EXPECT_EQ(tavri::win::liveSettingsWindows(), before);
    if (before == 0) {
        EXPECT_FALSE(classExists()) << "the class must not outlive the windows (it points into the module)";
        TestForm again;  // and registers again for the next one
        EXPECT_NE(again.hwnd(), nullptr);
    }
}

TEST(SettingsWindow, OpensCentredOnTheScreenWithThePasswordFocused) {
    TestForm form;
    runModal(*form.window, [&](HWND hwnd) {
        ASSERT_TRUE(hwnd) << "the window did not appear in front";
        RECT r{};
        GetWindowRect(hwnd, &r);
        EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        EXPECT_TRUE(focusIs(hwnd, id::kText2));
        EXPECT_TRUE(closeAndWait(hwnd));
    });
}

// plughost.exe running the settings command, with its form once shown.
struct Host {
    Process process{L"\"" + besideMe(L"plughost.exe") + L"\" /xtavrisett"};
    HWND form = process.started() ? waitForWindow({process.pid(), 0, kFrmsettClassName}, 20000) : nullptr;

    std::string field(int controlId) const { return narrow(windowText(GetDlgItem(form, controlId))); }
    // Presses a button (or the close box: 0) and checks that the host ended well.
    void finish(int button) {
        if (button) clickButton(GetDlgItem(form, button));
        else PostMessageW(form, WM_CLOSE, 0, 0);
        EXPECT_TRUE(waitForWindowGone(form));
        EXPECT_EQ(process.wait(20000), 0);
        EXPECT_EQ(process.errors(), "");
    }
};

std::optional<std::string> stored(const char* key) {
    bool found = false;
    const std::string value = storedSetting(key, &found);
    return found ? std::optional(value) : std::nullopt;
}

class SettingsCommand : public testing::Test {
protected:
    static void SetUpTestSuite() {
        registered_ = runProcess(L"regsvr32 /s \"" + besideMe(L"Tavri.dll") + L"\"") == 0 &&
                      runProcess(L"regedit /s \"" + besideMe(L"install.reg") + L"\"") == 0;
    }
    void SetUp() override {
        ASSERT_TRUE(registered_) << "regsvr32 or regedit failed";
        clearStoredSettings();
    }
    static inline bool registered_ = false;
};

TEST_F(SettingsCommand, StoresWhatIsSavedAsTypedAndShowsItNextTime) {
    using Pair = std::pair<std::string, std::string>;
    const struct {
        const char* what;
        std::optional<Pair> before;
        Pair typed;
        int press;
        std::optional<Pair> after;
    } cases[] = {
        {"nothing stored, close box", {}, {"typed", "not saved"}, 0, {}},
        {"saved as typed", {}, {"zo\xC3\xAB.smith", " p w&rd "}, id::kCommand1, Pair{"zo\xC3\xAB.smith", " p w&rd "}},
        {"close box keeps the stored", Pair{"alice", "secret"}, {"mallory", "guess"}, 0, Pair{"alice", "secret"}},
        {"empty fields saved", Pair{"alice", "secret"}, {"", ""}, id::kCommand1, Pair{"", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clearStoredSettings();
        if (c.before) storeCredentials(c.before->first, c.before->second);
        {
            Host host;
            ASSERT_TRUE(host.form) << "no settings window; the host said: " << host.process.errors();
            EXPECT_EQ(Pair(host.field(id::kText1), host.field(id::kText2)), c.before.value_or(Pair{}));
            setText(GetDlgItem(host.form, id::kText1), widen(c.typed.first));
            setText(GetDlgItem(host.form, id::kText2), widen(c.typed.second));
            host.finish(c.press);
        }
        EXPECT_EQ(stored("username"), c.after ? std::optional(c.after->first) : std::nullopt);
        EXPECT_EQ(stored("password"), c.after ? std::optional(c.after->second) : std::nullopt);
        if (!c.after) continue;
        Host again;
        ASSERT_TRUE(again.form) << again.process.errors();
        EXPECT_EQ(Pair(again.field(id::kText1), again.field(id::kText2)), *c.after) << "next time";
        again.finish(0);
    }
}

TEST_F(SettingsCommand, TheWebSiteButtonStartsExplorerAndTheFormStaysOpen) {
    Host host;
    ASSERT_TRUE(host.form) << host.process.errors();
    clickButton(GetDlgItem(host.form, id::kCommand2));
    std::vector<DWORD> explorers;
    EXPECT_TRUE(waitUntil([&] { return !(explorers = childProcesses(host.process.pid(), L"explorer.exe")).empty(); },
                          kWaitMs)) << "no explorer was started";
    for (DWORD pid : explorers) {
        const tavri::win::UniqueKernelHandle p(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        if (p && TerminateProcess(p.get(), 0)) WaitForSingleObject(p.get(), 5000);
    }
    EXPECT_TRUE(IsWindowVisible(host.form)) << "the form stays open";
    host.finish(0);
    EXPECT_EQ(stored("username"), std::nullopt);
}

}  // namespace
