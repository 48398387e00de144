// The settings window in use: keyboard, buttons, close box, fields, the
// modal loop and the window's lifetime.
#include <windows.h>

#include <gtest/gtest.h>

#include "automation_error.h"
#include "form_session.h"
#include "frmsett.h"
#include "win_ui.h"

namespace {

using namespace settings_test;
namespace id = tavri::win::frmsett_id;

HWND item(HWND form, int controlId) { return GetDlgItem(form, controlId); }

TEST(FrmsettKeyboard, TabWalksTheTabStopsAndEnterOrEscInAFieldPressNothing) {
    TestForm form;
    const DWORD mainThread = GetCurrentThreadId();
    const auto focusIs = [&](HWND form, int controlId) {
        return waitUntil([&] { return focusOfThread(mainThread) == item(form, controlId); });
    };
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(focusIs(hwnd, id::kText2));

        // Enter and Esc in a field; the typed text that follows shows they
        // have been handled, and did nothing.
        ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}));
        ASSERT_TRUE(pressChord(hwnd, {VK_ESCAPE}));
        ASSERT_TRUE(typeText(hwnd, L"pw s"));
        ASSERT_TRUE(waitUntil([&] { return form.window->password() == "pw s"; }))
            << "typed keys did not reach the password field";

        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kText1));
        ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}));
        ASSERT_TRUE(pressChord(hwnd, {VK_ESCAPE}));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kCommand1));
        ASSERT_TRUE(pressChord(hwnd, {VK_ESCAPE}));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kCommand2));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kText2)) << "the tab order wraps round";
        ASSERT_TRUE(pressChord(hwnd, {VK_SHIFT, VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kCommand2)) << "Shift+Tab walks back";
        ASSERT_TRUE(pressChord(hwnd, {VK_SHIFT, VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kCommand1));
        ASSERT_TRUE(pressChord(hwnd, {VK_SHIFT, VK_TAB}));
        EXPECT_TRUE(focusIs(hwnd, id::kText1));
        // Having passed over the buttons leaves none of them the default.
        ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}));
        ASSERT_TRUE(typeText(hwnd, L"me"));
        ASSERT_TRUE(waitUntil([&] { return form.window->accountName() == "me"; }));

        EXPECT_EQ(form.events.saves, 0);
        EXPECT_EQ(form.events.siteClicks, 0);
        EXPECT_EQ(form.events.closeBoxes, 0);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_EQ(form.window->password(), "pw s");
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(result.timedOut);
}

TEST(FrmsettKeyboard, AFocusedButtonIsPressedWithSpaceOrEnter) {
    TestForm form;
    const DWORD mainThread = GetCurrentThreadId();
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        ASSERT_TRUE(waitUntil(
            [&] { return focusOfThread(mainThread) == item(hwnd, id::kCommand1); }));
        ASSERT_TRUE(pressChord(hwnd, {VK_SPACE}));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 1; }));
        ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 2; }));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        ASSERT_TRUE(pressChord(hwnd, {VK_RETURN}));
        EXPECT_TRUE(waitUntil([&] { return form.events.siteClicks == 1; }));
        EXPECT_EQ(form.events.saves, 2);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(result.timedOut);
}

TEST(FrmsettKeyboard, AltSSavesFromAnyField) {
    TestForm form;
    form.events.onSaveAction = [&] { form.window->close(); };
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(typeText(hwnd, L"secret"));
        ASSERT_TRUE(pressChord(hwnd, {VK_TAB}));
        ASSERT_TRUE(typeText(hwnd, L"sam"));  // a plain "s" in a field is text, not the access key
        ASSERT_TRUE(waitUntil([&] { return form.window->accountName() == "sam"; }));
        EXPECT_EQ(form.events.saves, 0);

        ASSERT_TRUE(pressChord(hwnd, {VK_MENU, 'S'}));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 1; })) << "Alt+S did not save";
        EXPECT_TRUE(wintest::waitForWindowGone(hwnd, 5000));
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(form.events.saves, 1);
    EXPECT_EQ(form.events.closeBoxes, 0);
}

TEST(FrmsettEvents, ButtonsAndCloseBoxRaiseTheirEventsAndOnlyCloseDecides) {
    TestForm form;
    int closeBoxesBeforeClosing = 2;
    form.events.onCloseAction = [&] {
        if (--closeBoxesBeforeClosing == 0) form.window->close();
    };
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        wintest::clickButton(item(hwnd, id::kCommand2));
        EXPECT_TRUE(waitUntil([&] { return form.events.siteClicks == 1; }));
        wintest::clickButton(item(hwnd, id::kCommand1));
        EXPECT_TRUE(waitUntil([&] { return form.events.saves == 1; }));

        // The owner leaves the window open on the first close box ...
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(waitUntil([&] { return form.events.closeBoxes == 1; }));
        Sleep(100);
        EXPECT_TRUE(IsWindowVisible(hwnd)) << "the form's owner decides, not the window";
        // ... and closes it on the second, through the system menu this time.
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(wintest::waitForWindowGone(hwnd, 5000));
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(form.events.siteClicks, 1);
    EXPECT_EQ(form.events.saves, 1);
    EXPECT_EQ(form.events.closeBoxes, 2);
}

TEST(FrmsettFields, KeepTheirTextWhileHiddenAndRoundTripAnyText) {
    TestForm form;
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(form.window->accountName(), "") << "created with empty fields";
    EXPECT_EQ(form.window->password(), "");

    // "Zoë 名前 😀": Latin, CJK and a character beyond the BMP (a surrogate pair).
    const std::string name = "Zo\xC3\xAB \xE5\x90\x8D\xE5\x89\x8D \xF0\x9F\x98\x80";
    const std::string password = " a&b = c ";
    form.window->setAccountName(name);
    form.window->setPassword(password);
    EXPECT_EQ(wintest::windowText(item(hwnd, id::kText1)), L"Zo\u00EB \u540D\u524D \U0001F600");
    EXPECT_EQ(wintest::windowText(item(hwnd, id::kText2)), L" a&b = c ");
    EXPECT_EQ(form.window->accountName(), name);
    EXPECT_EQ(form.window->password(), password);
    EXPECT_FALSE(IsWindowVisible(hwnd));

    // What the user types replaces the text; clearing leaves it empty.
    wintest::setText(item(hwnd, id::kText1), L"typed");
    EXPECT_EQ(form.window->accountName(), "typed");
    form.window->setPassword("");
    EXPECT_EQ(form.window->password(), "");

    const std::string longText(5000, 'x');
    form.window->setAccountName(longText);
    EXPECT_EQ(form.window->accountName(), longText);
}

TEST(FrmsettModalLoop, AQuitRequestEndsTheLoopKeepsTheFieldsAndIsPassedOn) {
    TestForm form;
    form.window->setAccountName("kept");
    const DWORD mainThread = GetCurrentThreadId();
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        PostThreadMessageW(mainThread, WM_QUIT, 42, 0);
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_TRUE(result.quitReposted);
    EXPECT_EQ(result.quitCode, 42u);
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr) << "the window stays, hidden";
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(form.window->accountName(), "kept");
}

TEST(FrmsettModalLoop, OtherWindowsOfTheThreadKeepWorking) {
    TestForm form;
    // A second window on the same thread, as the host's own would be.
    HWND other = CreateWindowExW(0, L"Edit", L"", WS_OVERLAPPED, 0, 0, 50, 20, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        // Sent messages are answered, posted ones dispatched, meanwhile.
        wintest::setText(other, L"from outside");
        EXPECT_EQ(wintest::windowText(other), L"from outside");
        PostMessageW(other, EM_SETLIMITTEXT, 7, 0);
        EXPECT_TRUE(waitUntil([&] { return SendMessageW(other, EM_GETLIMITTEXT, 0, 0) == 7; }));
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(result.timedOut);
    DestroyWindow(other);
}

TEST(FrmsettModalLoop, ShowingWhileShownOrAfterClosingIsAnError) {
    TestForm form;
    int nestedError = 0;
    form.events.onSiteAction = [&] {
        try {
            form.window->showModal();
        } catch (const tavri::AutomationError& e) {
            nestedError = e.number();
        }
    };
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        wintest::clickButton(item(hwnd, id::kCommand2));
        EXPECT_TRUE(waitUntil([&] { return form.events.siteClicks == 1; }));
        EXPECT_TRUE(IsWindowVisible(hwnd));
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(nestedError, tavri::error::kFormAlreadyModal);

    EXPECT_THROW(form.window->showModal(), tavri::AutomationError) << "closed for good";
}

TEST(FrmsettEvents, AFailingEventIsShownAndTheWindowKeepsWhatWasTyped) {
    TestForm form;
    form.events.onSaveAction = [] { throw tavri::AutomationError(70, "Permission denied"); };
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        wintest::setText(item(hwnd, id::kText1), L"someone");
        wintest::clickButton(item(hwnd, id::kCommand1));
        const wintest::MessageBoxView box = wintest::dismissMessageBox(L"Tavri Plugin", 5000);
        EXPECT_EQ(box.text, L"Permission denied");
        EXPECT_EQ(box.icon, MB_ICONERROR);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_EQ(form.window->accountName(), "someone");
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(form.events.saves, 1);
}

TEST(FrmsettLifetime, DiscardingTheWindowInsideItsCloseEventEndsTheLoopSafely) {
    TestForm form;
    form.events.onCloseAction = [&] { form.window.reset(); };
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(wintest::waitForWindowGone(hwnd, 5000));
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(form.window, nullptr);
    EXPECT_EQ(form.hwnd(), nullptr);
}

TEST(FrmsettLifetime, LiveWindowsAreCountedAndTheClassGoesWithTheLast) {
    const long before = tavri::win::liveSettingsWindows();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    {
        TestForm first;
        TestForm second;
        EXPECT_EQ(tavri::win::liveSettingsWindows(), before + 2);
        EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), tavri::win::kFrmsettClassName,
                                    &info));
        first.window->close();  // a closed window still counts until it is discarded
        EXPECT_EQ(tavri::win::liveSettingsWindows(), before + 2);
        EXPECT_EQ(first.window->accountName(), "");
        first.window.reset();
        EXPECT_EQ(tavri::win::liveSettingsWindows(), before + 1);
        second.window->setAccountName("second");
        EXPECT_EQ(second.window->accountName(), "second") << "independent of the first";
    }
    EXPECT_EQ(tavri::win::liveSettingsWindows(), before);
    if (before == 0) {
        EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), tavri::win::kFrmsettClassName,
                                     &info))
            << "the class must not outlive the windows (it points into the module)";
        TestForm again;  // and registers again for the next one
        EXPECT_NE(again.hwnd(), nullptr);
    }
}

}  // namespace
