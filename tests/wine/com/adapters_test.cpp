// The Windows adapters behind the core's ports, against the real platform.
#include <gtest/gtest.h>

#include "automation_error.h"
#include "registry_settings_store.h"
#include "shell_process_starter.h"
#include "var_number_parser.h"
#include "win32_ansi_codec.h"
#include "win32_message_boxes.h"
#include "win_ui.h"

namespace {

using tavri::AutomationError;

int errorNumberOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.number();
    }
    return 0;
}

// A store of its own, so the plug-in's real settings are never touched.
class SettingsStore : public testing::Test {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Tavri Adapter Test");
    }
    tavri::win::RegistrySettingsStore store{L"Tavri Adapter Test"};
};

TEST_F(SettingsStore, MissingKeysReadEmptyAndWrittenValuesReadBackExactly) {
    EXPECT_EQ("", store.read("username"));
    const std::string typed = " a&b = c  d\xC3\xA9 ";  // blanks, '&', '=', a non-ASCII letter
    store.write("username", typed);
    store.write("password", "");
    EXPECT_EQ(typed, store.read("username"));
    EXPECT_EQ("", store.read("password"));
    EXPECT_EQ("", store.read("never"));

    // Where such components keep their settings, as plain string values.
    EXPECT_EQ(L" a&b = c  d\u00e9 ",
              wintest::readString(HKEY_CURRENT_USER,
                                  L"Software\\VB and VBA Program Settings\\Tavri Adapter Test\\Data",
                                  L"username"));
    EXPECT_EQ(L"Software\\VB and VBA Program Settings\\Tavri Plugin\\Data",
              tavri::win::RegistrySettingsStore().keyPath());
}

TEST_F(SettingsStore, LongValuesAndNonStringValuesAreHandled) {
    const std::string big(100000, 'x');
    store.write("username", big);
    EXPECT_EQ(big, store.read("username"));
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Tavri Adapter Test\\Data",
                    L"password", REG_DWORD, &number, sizeof number);
    EXPECT_EQ("", store.read("password"));
}

TEST(SettingsStoreFailure, AWriteThatCannotBeStoredRaisesAClearError) {
    // A key name longer than the registry allows: nothing can be created.
    tavri::win::RegistrySettingsStore broken(std::wstring(300, L'x'));
    try {
        broken.write("username", "someone");
        ADD_FAILURE() << "the write was reported as done";
    } catch (const AutomationError& e) {
        EXPECT_EQ(5, e.number());
        EXPECT_NE(std::string::npos, e.description().find("\"username\" could not be saved"))
            << e.description();
    }
    EXPECT_EQ("", broken.read("username"));
}

TEST(NumberParser, ConvertsLikeAutomationAndRaisesItsErrors) {
    tavri::win::VarNumberParser numbers;
    EXPECT_EQ(1234, numbers.parseInt32("1234"));
    EXPECT_EQ(1234, numbers.parseInt32("  1234 "));
    EXPECT_EQ(7, numbers.parseInt32("0007"));
    EXPECT_EQ(-500, numbers.parseInt32("-500"));
    EXPECT_EQ(2147483647, numbers.parseInt32("2147483647"));
    EXPECT_EQ(13, errorNumberOf([&] { numbers.parseInt32(""); }));
    EXPECT_EQ(13, errorNumberOf([&] { numbers.parseInt32("12a"); }));
    EXPECT_EQ(13, errorNumberOf([&] { numbers.parseInt32("B 1234"); }));
    EXPECT_EQ(13, errorNumberOf([&] { numbers.parseInt32(std::string("12\0" "34", 5)); }));
    EXPECT_EQ(6, errorNumberOf([&] { numbers.parseInt32("2147483648"); }));
    EXPECT_EQ(6, errorNumberOf([&] { numbers.parseInt32("99999999999999"); }));
}

TEST(AnsiCodec, ConvertsToTheSystemCodePage) {
    tavri::win::Win32AnsiCodec ansi;
    EXPECT_EQ("user&pw=1 2", ansi.toAnsi("user&pw=1 2"));
    EXPECT_EQ("", ansi.toAnsi(""));
    const std::string e = ansi.toAnsi("\xC3\xA9");  // U+00E9
    char expected[4] = {};
    WideCharToMultiByte(CP_ACP, 0, L"\u00e9", 1, expected, 4, nullptr, nullptr);
    EXPECT_EQ(std::string(expected), e);
}

TEST(ProcessStarter, StartsWithoutWaitingAndReportsAMissingProgramAs53) {
    tavri::win::ShellProcessStarter starter;
    const DWORD before = GetTickCount();
    EXPECT_NO_THROW(starter.start("cmd /c ping -n 3 127.0.0.1 >nul", SW_SHOWMINIMIZED));
    EXPECT_LT(GetTickCount() - before, 1500u) << "start() must not wait for the program";
    EXPECT_EQ(53, errorNumberOf([&] { starter.start("no-such-program-here.exe", 2); }));
    EXPECT_EQ(53, errorNumberOf([&] { starter.start("", 2); }));
}

TEST(MessageBoxes, ShowTextCaptionAndIconWithAnOkButton) {
    tavri::win::Win32MessageBoxes boxes;
    struct Case { tavri::MessageIcon icon; int expected; };
    for (const Case c : {Case{tavri::MessageIcon::Information, MB_ICONINFORMATION},
                         Case{tavri::MessageIcon::Warning, MB_ICONWARNING},
                         Case{tavri::MessageIcon::Critical, MB_ICONERROR}}) {
        wintest::MessageBoxView seen;
        wintest::Background dismisser([&] { seen = wintest::dismissMessageBox(L"Adapter caption"); });
        boxes.show("first line\r\nsecond \xC3\xA9", "Adapter caption", c.icon);
        ASSERT_TRUE(dismisser.join());
        ASSERT_TRUE(seen.hwnd);
        EXPECT_EQ(L"first line\r\nsecond \u00e9", seen.text);
        EXPECT_EQ(c.expected, seen.icon);
        ASSERT_EQ(1u, seen.buttons.size());
        EXPECT_EQ(L"OK", seen.buttons[0]);
    }
}

}  // namespace
