// The settings window as built: frame, controls, tab order, tool tips, read
// back from the real window.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "form_session.h"
#include "frmsett.h"
#include "win_ui.h"

namespace {

using namespace settings_test;
namespace id = tavri::win::frmsett_id;

struct Dpi {
    int x = 96, y = 96;
    Dpi() {
        HDC screen = GetDC(nullptr);
        x = GetDeviceCaps(screen, LOGPIXELSX);
        y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    int px(int twips) const { return MulDiv(twips, x, 1440); }
    int py(int twips) const { return MulDiv(twips, y, 1440); }
};

// The designed layout in twips; controls inside the frame are relative to it.
struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    int left, top, width, height;
    bool insideFrame;
    bool tabStop;
};

constexpr int kFrameLeft = 120, kFrameTop = 120;
const ExpectedControl kExpected[] = {
    {id::kFrame1, L"Button", L"Settings", 120, 120, 4095, 1335, false, false},
    {id::kCommand2, L"Button", L"Quillorn", 1680, 960, 1095, 255, true, true},
    {id::kCommand1, L"Button", L"&save", 2880, 960, 1095, 255, true, true},
    {id::kText1, L"Edit", L"", 1440, 240, 2535, 285, true, true},
    {id::kText2, L"Edit", L"", 1440, 600, 2535, 285, true, true},
    {id::kLabel2, L"Static", L"Password:", 240, 600, 1095, 255, true, false},
    {id::kLabel1, L"Static", L"Username:", 240, 240, 1095, 255, true, false},
};

RECT rectInClient(HWND form, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

BOOL CALLBACK collectToolTips(HWND hwnd, LPARAM tips) {
    if (wintest::className(hwnd) == TOOLTIPS_CLASSW)
        reinterpret_cast<std::vector<HWND>*>(tips)->push_back(hwnd);
    return TRUE;
}

int editLimitOfAPlainEdit() {
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    const int limit = static_cast<int>(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    DestroyWindow(edit);
    return limit;
}

TEST(FrmsettLayout, IsAHiddenFixedToolWindowWithTheDesignedClientArea) {
    TestForm form;
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "created hidden";
    EXPECT_EQ(wintest::windowText(hwnd), L"Tavri Plugin Settings");
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);

    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU) << "close box";
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "no minimize or maximize box";
    EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "small caption, not in the taskbar";
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);

    EXPECT_EQ(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(GetClassLongPtrW(hwnd, GCLP_HICON), 0u);
    EXPECT_EQ(GetClassLongPtrW(hwnd, GCLP_HICONSM), 0u);

    const Dpi dpi;
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, dpi.px(4290)) << "at " << dpi.x << " dpi";
    EXPECT_EQ(client.bottom, dpi.py(1560)) << "at " << dpi.y << " dpi";
    std::printf("client area at %d x %d dpi: %ld x %ld px\n", dpi.x, dpi.y, client.right,
                client.bottom);
}

TEST(FrmsettLayout, ControlsHaveTheirKindTextPlaceAndDefaults) {
    TestForm form;
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr);
    const Dpi dpi;
    const auto guiFont = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
    const int plainLimit = editLimitOfAPlainEdit();

    ASSERT_EQ(wintest::children(hwnd).size(), std::size(kExpected));
    for (const auto& want : kExpected) {
        SCOPED_TRACE(testing::Message() << "control id " << want.id << " " << want.className
                                        << " \"" << std::wstring(want.text).c_str() << "\"");
        HWND control = GetDlgItem(hwnd, want.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), hwnd);
        EXPECT_EQ(CompareStringOrdinal(wintest::className(control).c_str(), -1, want.className,
                                       -1, TRUE),
                  CSTR_EQUAL)
            << "class " << testing::PrintToString(wintest::className(control));
        EXPECT_EQ(wintest::windowText(control), want.text);

        const int left = (want.insideFrame ? kFrameLeft : 0) + want.left;
        const int top = (want.insideFrame ? kFrameTop : 0) + want.top;
        const RECT r = rectInClient(hwnd, control);
        EXPECT_NEAR(r.left, dpi.px(left), 1);
        EXPECT_NEAR(r.top, dpi.py(top), 1);
        EXPECT_NEAR(r.right - r.left, dpi.px(want.width), 1);
        EXPECT_NEAR(r.bottom - r.top, dpi.py(want.height), 1);
        std::printf("id %d: %ld,%ld %ldx%ld px\n", want.id, r.left, r.top, r.right - r.left,
                    r.bottom - r.top);

        const LONG style = GetWindowLongW(control, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, want.tabStop);
        EXPECT_TRUE(style & WS_VISIBLE);
        EXPECT_FALSE(style & WS_DISABLED);
        EXPECT_EQ(SendMessageW(control, WM_GETFONT, 0, 0), guiFont) << "default GUI font";
        if (want.id == id::kFrame1) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
        }
        if (want.id == id::kCommand1 || want.id == id::kCommand2) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "neither button is the default";
        }
        if (want.id == id::kText1 || want.id == id::kText2) {
            EXPECT_EQ(SendMessageW(control, EM_GETLIMITTEXT, 0, 0), plainLimit)
                << "no maximum length of its own";
        }
    }
}

TEST(FrmsettLayout, TabOrderIsPasswordAccountSaveWebSite) {
    TestForm form;
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr);
    std::vector<int> tabStops;
    for (HWND c : wintest::children(hwnd))
        if (GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) tabStops.push_back(GetDlgCtrlID(c));
    EXPECT_EQ(tabStops, (std::vector<int>{id::kText2, id::kText1, id::kCommand1, id::kCommand2}));

    // The dialog navigation walks the same way round, both directions.
    HWND text2 = GetDlgItem(hwnd, id::kText2);
    HWND next = GetNextDlgTabItem(hwnd, text2, FALSE);
    EXPECT_EQ(GetDlgCtrlID(next), id::kText1);
    EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(hwnd, GetDlgItem(hwnd, id::kCommand2), FALSE)),
              id::kText2);
    EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(hwnd, text2, TRUE)), id::kCommand2);
}

TEST(FrmsettLayout, PasswordFieldShowsStarsAndHasNoInputMethod) {
    TestForm form;
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr);
    HWND text1 = GetDlgItem(hwnd, id::kText1);
    HWND text2 = GetDlgItem(hwnd, id::kText2);

    EXPECT_TRUE(GetWindowLongW(text2, GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(SendMessageW(text2, EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_FALSE(GetWindowLongW(text1, GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(SendMessageW(text1, EM_GETPASSWORDCHAR, 0, 0), 0);

    HIMC passwordContext = ImmGetContext(text2);
    EXPECT_EQ(passwordContext, nullptr) << "input-method editor disabled for the password";
    if (passwordContext) ImmReleaseContext(text2, passwordContext);
    HIMC accountContext = ImmGetContext(text1);
    EXPECT_NE(accountContext, nullptr) << "the account name keeps the input-method editor";
    if (accountContext) ImmReleaseContext(text1, accountContext);
}

TEST(FrmsettLayout, FieldsCarryUsernameAndPasswordToolTips) {
    TestForm form;
    HWND hwnd = form.hwnd();
    ASSERT_NE(hwnd, nullptr);

    std::vector<HWND> tips;
    EnumThreadWindows(GetCurrentThreadId(), collectToolTips, reinterpret_cast<LPARAM>(&tips));
    ASSERT_EQ(tips.size(), 1u);
    HWND tip = tips[0];
    EXPECT_EQ(GetWindow(tip, GW_OWNER), hwnd) << "goes away with the form";

    std::map<int, std::wstring> textById;
    const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[80] = {};
        TTTOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.lpszText = text;
        ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info)));
        EXPECT_TRUE(info.uFlags & TTF_IDISHWND);
        // The form relays the mouse to the tip itself; a subclassed field is
        // slow to answer every message under Wine, and reports read the fields.
        EXPECT_FALSE(info.uFlags & TTF_SUBCLASS);
        textById[GetDlgCtrlID(reinterpret_cast<HWND>(info.uId))] = text;
    }
    EXPECT_EQ(textById, (std::map<int, std::wstring>{{id::kText1, L"Username"},
                                                      {id::kText2, L"Password"}}));
}

TEST(FrmsettLayout, OpensCentredOnTheScreenWithThePasswordFocused) {
    TestForm form;
    const DWORD mainThread = GetCurrentThreadId();
    const ModalResult result = runModal(*form.window, [&](HWND hwnd) {
        ASSERT_NE(hwnd, nullptr) << "the window did not appear";
        RECT r{};
        GetWindowRect(hwnd, &r);
        EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        EXPECT_TRUE(waitUntil([&] {
            return focusOfThread(mainThread) == GetDlgItem(hwnd, id::kText2);
        })) << "focus is on id " << GetDlgCtrlID(focusOfThread(mainThread));
        EXPECT_EQ(GetForegroundWindow(), hwnd);
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(form.events.closeBoxes, 1);
    EXPECT_EQ(form.hwnd(), nullptr) << "closed for good";
}

}  // namespace
