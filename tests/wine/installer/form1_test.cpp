// Form1 read back from the real window: caption, border, size, controls and
// where they are, focus and keyboard behaviour.
#include <gtest/gtest.h>

#include "installer_session.h"

namespace installer_test {

std::wstring artifactsFolder;  // set from the command line; screenshots go there

namespace {

constexpr wchar_t kWelcome[] =
    L"Welcome to the Tavri Messenger Plus! Plugin Installer. Please click Install to "
    L"continue. Remember none of your tavri data is transmitted to us or any 3rd party "
    L"providers.";

struct Dpi {
    int x, y;
    Dpi() {
        HDC screen = GetDC(nullptr);
        x = GetDeviceCaps(screen, LOGPIXELSX);
        y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    RECT box(int left, int top, int width, int height) const {
        const int l = MulDiv(left, x, 1440), t = MulDiv(top, y, 1440);
        return {l, t, l + MulDiv(width, x, 1440), t + MulDiv(height, y, 1440)};
    }
};

// A control's rectangle in its parent's client coordinates.
RECT placeInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

::testing::AssertionResult placedAt(HWND control, const RECT& expected) {
    const RECT r = placeInParent(control);
    if (EqualRect(&r, &expected)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "at (" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom
           << "), expected (" << expected.left << "," << expected.top << ")-(" << expected.right
           << "," << expected.bottom << ")";
}

LONG styleOf(HWND hwnd) { return GetWindowLongW(hwnd, GWL_STYLE); }

class Form1Window : public ::testing::Test {
protected:
    void SetUp() override {
        layOutRelease(release_);
        installer_ = std::make_unique<RunningInstaller>(release_.path(), release_.path());
        ASSERT_TRUE(installer_->form()) << "the installer window did not show";
    }
    TempFolder release_;
    std::unique_ptr<RunningInstaller> installer_;
};

TEST_F(Form1Window, LayoutMatchesTheDesign) {
    HWND form = installer_->form();
    const Dpi dpi;
    EXPECT_EQ(wintest::windowText(form), kWindowCaption);

    // Fixed tool window: small caption and close box, nothing to resize,
    // minimize or maximize, no taskbar button, no icon.
    const LONG style = styleOf(form);
    const LONG exStyle = GetWindowLongW(form, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    for (WPARAM kind : {ICON_BIG, ICON_SMALL, ICON_SMALL2}) {
        DWORD_PTR icon = 1;
        SendMessageTimeoutW(form, WM_GETICON, kind, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        EXPECT_EQ(icon, 0u) << "icon kind " << kind;
    }

    RECT client{};
    GetClientRect(form, &client);
    const RECT expectedClient = dpi.box(0, 0, 2970, 1920);
    EXPECT_EQ(client.right, expectedClient.right) << "2970 twips wide";
    EXPECT_EQ(client.bottom, expectedClient.bottom) << "1920 twips high";
    RECT frame{};
    GetWindowRect(form, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
    EXPECT_NEAR((frame.top + frame.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);

    // Frames are group boxes without caption; Frame2 holds the welcome text,
    // Frame1 the two buttons.
    HWND label1 = wintest::findChild(form, L"Static", kWelcome);
    ASSERT_TRUE(label1) << "welcome text";
    HWND frame2 = GetParent(label1);
    HWND command1 = installer_->installButton();
    HWND command2 = installer_->cancelButton();
    ASSERT_TRUE(command1 && command2);
    HWND frame1 = GetParent(command1);
    EXPECT_EQ(GetParent(command2), frame1);
    for (HWND frameBox : {frame1, frame2}) {
        EXPECT_EQ(wintest::className(frameBox), L"Button");
        EXPECT_EQ(styleOf(frameBox) & BS_TYPEMASK, BS_GROUPBOX);
        EXPECT_EQ(wintest::windowText(frameBox), L"");
        EXPECT_EQ(GetParent(frameBox), form);
    }
    EXPECT_TRUE(placedAt(frame2, dpi.box(120, 0, 2775, 1215)));
    EXPECT_TRUE(placedAt(label1, dpi.box(120, 120, 2535, 975)));
    EXPECT_EQ(styleOf(label1) & SS_TYPEMASK, SS_LEFT) << "wraps at word boundaries";
    EXPECT_TRUE(placedAt(frame1, dpi.box(120, 1200, 2775, 615)));
    EXPECT_TRUE(placedAt(command2, dpi.box(120, 240, 1215, 255)));
    EXPECT_TRUE(placedAt(command1, dpi.box(1440, 240, 1215, 255)));
    for (HWND button : {command1, command2}) {
        EXPECT_EQ(styleOf(button) & BS_TYPEMASK, BS_PUSHBUTTON) << "neither is the default";
        EXPECT_TRUE(styleOf(button) & WS_TABSTOP);
    }

    // Text1 holds the registration command line, unseen outside the client
    // area, read-only and out of the tab order.
    HWND text1 = installer_->commandBox();
    ASSERT_TRUE(text1);
    EXPECT_EQ(GetParent(text1), form);
    EXPECT_EQ(wintest::windowText(text1), kRegistrationLine);
    const RECT text1Box = dpi.box(3840, 2280, 150, 285);
    EXPECT_TRUE(placedAt(text1, text1Box));
    EXPECT_GE(text1Box.left, client.right) << "outside the client area";
    EXPECT_TRUE(styleOf(text1) & ES_READONLY);
    EXPECT_FALSE(styleOf(text1) & WS_TABSTOP);

    EXPECT_EQ(installer_->focused(), command1) << "the focus starts on \"&Install\"";
    EXPECT_EQ(GetNextDlgTabItem(form, command1, FALSE), command2);
    EXPECT_EQ(GetNextDlgTabItem(form, command2, FALSE), command1);

    if (!artifactsFolder.empty()) {
        SetForegroundWindow(form);
        Sleep(300);
        EXPECT_TRUE(wintest::saveWindowBitmap(form, artifactsFolder + L"\\installer.bmp"));
    }
}

// Keys sent to a window of another process.
void typeKeys(const std::vector<WORD>& keys, bool withAlt = false) {
    std::vector<INPUT> inputs;
    auto key = [&](WORD vk, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    if (withAlt) key(VK_MENU, false);
    for (WORD vk : keys) {
        key(vk, false);
        key(vk, true);
    }
    if (withAlt) key(VK_MENU, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(300);
}

TEST_F(Form1Window, KeystrokesNeverChangeTheRegistrationLine) {
    HWND form = installer_->form();
    HWND text1 = installer_->commandBox();
    ASSERT_TRUE(text1);

    // Characters, deletions and pastes aimed straight at the text box.
    for (wchar_t c : std::wstring(L"calc.exe")) PostMessageW(text1, WM_CHAR, c, 0);
    PostMessageW(text1, WM_KEYDOWN, VK_DELETE, 0);
    PostMessageW(text1, WM_CHAR, VK_BACK, 0);
    PostMessageW(text1, WM_CUT, 0, 0);
    PostMessageW(text1, WM_PASTE, 0, 0);
    PostMessageW(text1, WM_CLEAR, 0, 0);
    Sleep(300);
    EXPECT_EQ(wintest::windowText(text1), kRegistrationLine);

    // A user typing into the window: letters, Backspace, Delete, Enter and
    // Esc change nothing and start nothing.
    SetForegroundWindow(form);
    Sleep(200);
    typeKeys({'X', 'Y', 'Z', VK_BACK, VK_DELETE, VK_RETURN, VK_ESCAPE, });
    EXPECT_EQ(wintest::windowText(text1), kRegistrationLine);
    EXPECT_FALSE(installer_->waitForMessageBox(500)) << "typing started the install";
    EXPECT_EQ(installer_->waitForExit(0), -1) << "typing ended the program";
}

TEST_F(Form1Window, TabMovesBetweenTheButtonsAndAltIInstalls) {
    clearInstallState();
    HWND form = installer_->form();
    SetForegroundWindow(form);
    Sleep(200);
    typeKeys({VK_TAB});
    EXPECT_EQ(installer_->focused(), installer_->cancelButton());
    typeKeys({VK_TAB});
    EXPECT_EQ(installer_->focused(), installer_->installButton());
    typeKeys({'I'}, /*withAlt=*/true);
    HWND box = installer_->waitForMessageBox(150000);
    ASSERT_TRUE(box) << "Alt+I did not install";
    const wintest::MessageBoxView message = wintest::readMessageBox(box);
    EXPECT_EQ(message.text, kDone);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    EXPECT_EQ(installer_->waitForExit(), static_cast<long>(kExitInstalled));
    EXPECT_TRUE(pluginRegistered());
    clearInstallState();
}

}  // namespace
}  // namespace installer_test
