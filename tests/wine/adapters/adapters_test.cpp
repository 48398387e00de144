// The adapters behind the core's ports on the real platform: the registry
// settings store, the number conversion, the ANSI codec, the process starter
// and the message boxes.
#include <gtest/gtest.h>

#include "automation_error.h"
#include "registry_settings_store.h"
#include "shell_process_starter.h"
#include "var_number_parser.h"
#include "win32_ansi_codec.h"
#include "win32_message_boxes.h"
#include "wintest.h"

using namespace wintest;

namespace {

// The value the 16th of the next kernel handles gets: handles take the lowest
// free slots of the table, so a handle left open among them pushes it up.
// (GetProcessHandleCount answers 0 under Wine.)
HANDLE nextKernelHandle() {
    HANDLE probes[16];
    for (HANDLE& probe : probes)
        probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (HANDLE probe : probes)
        CloseHandle(probe);
    return probes[15];
}

// "number: description" of the automation error f raises, or "".
std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const tavri::AutomationError& e) {
        return std::to_string(e.number()) + ": " + e.description();
    }
    return "";
}

TEST(Adapters, SettingsStoreKeepsAnyTextAndFailsClearly) {
    const std::wstring keyPath = L"Software\\VB and VBA Program Settings\\Tavri Adapter Test";
    tavri::win::RegistrySettingsStore store(L"Tavri Adapter Test");
    EXPECT_EQ(store.read("username"), "");
    // Beyond ASCII and the BMP, and far beyond any fixed buffer.
    const std::string text = " a&b = \xC3\xA9 \xF0\x9F\x98\x80 " + std::string(100000, 'x');
    store.write("username", text);
    EXPECT_EQ(store.read("username"), text);
    EXPECT_EQ(readString(HKEY_CURRENT_USER, keyPath + L"\\Data", L"username"), widen(text));
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, (keyPath + L"\\Data").c_str(), L"password", REG_DWORD,
                    &number, sizeof number);
    EXPECT_EQ(store.read("password"), "");
    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
    const std::string error = errorOf(
        [] { tavri::win::RegistrySettingsStore(std::wstring(300, L'x')).write("username", "x"); });
    EXPECT_TRUE(error.rfind("5: ", 0) == 0 &&
                error.find("\"username\" could not be saved") != std::string::npos)
        << error;
}

TEST(Adapters, NumbersTextProcessesAndMessageBoxes) {
    tavri::win::VarNumberParser numbers;
    for (const auto& [in, out] :
         {std::pair{"  1234 ", 1234L}, {"0007", 7L}, {"-500", -500L}, {"2147483647", 2147483647L}})
        EXPECT_EQ(numbers.parseInt32(in), out) << in;
    for (const auto& [in, error] : {std::pair{std::string(""), 13},
                                    {"12a", 13},
                                    {"B 1234", 13},
                                    {std::string("12\00034", 5), 13},  // "12", NUL, "34"
                                    {"2147483648", 6},
                                    {"99999999999999", 6}})
        EXPECT_EQ(errorOf([&] { numbers.parseInt32(in); }).rfind(std::to_string(error) + ":", 0),
                  0u)
            << in;

    // What the user types goes to the server in the system's code page (1252 here).
    EXPECT_EQ(tavri::win::Win32AnsiCodec().toAnsi("J\xC3\xB6rg \xE2\x82\xAC&"), "J\xF6rg \x80&");

    tavri::win::ShellProcessStarter starter;
    const HANDLE nextHandle = nextKernelHandle();
    // The program leaves its mark after some 2 s: start() must not wait for that.
    const std::wstring mark = besideMe(L"tavri-started.txt");
    EXPECT_NO_THROW(starter.start(
        "cmd /c ping -n 3 127.0.0.1 >nul & echo x>\"" + narrow(mark) + "\"", SW_SHOWMINIMIZED));
    EXPECT_EQ(GetFileAttributesW(mark.c_str()), INVALID_FILE_ATTRIBUTES) << "start() waited";
    EXPECT_TRUE(waitUntil([&] { return DeleteFileW(mark.c_str()); }, 10000)) << "it never ran";
    // At most lower: an idle fetch worker of an earlier test may end meanwhile.
    EXPECT_LE(nextKernelHandle(), nextHandle) << "starting a program leaves handles open";
    // Never searched for: a program beside the host's executable, which a
    // search would find first, is not found.
    const std::wstring planted = besideMe(L"tavri-planted.exe");
    wchar_t cmd[MAX_PATH];
    GetSystemDirectoryW(cmd, MAX_PATH);
    ASSERT_TRUE(CopyFileW((std::wstring(cmd) + L"\\cmd.exe").c_str(), planted.c_str(), FALSE));
    const std::string found = errorOf([&] { starter.start("tavri-planted /c exit", 2); });
    DeleteFileW(planted.c_str());
    EXPECT_EQ(found.substr(0, 3), "53:") << "a program of that name was searched for";

    for (const auto& [icon, expected] :
         {std::pair{tavri::MessageIcon::Information, MB_ICONINFORMATION},
          {tavri::MessageIcon::Warning, MB_ICONWARNING},
          {tavri::MessageIcon::Critical, MB_ICONERROR}}) {
        MessageBoxView seen;
        withUser(
            [&] {
                tavri::win::Win32MessageBoxes().show("first line\r\nsecond \xC3\xA9",
                                                     "Adapter caption", icon);
            },
            [&] { seen = dismissMessageBox(ownProcess(L"#32770", L"Adapter caption")); });
        EXPECT_EQ(seen.text + L"|" + std::to_wstring(seen.icon) + L"|" +
                      (seen.buttons.size() == 1 ? seen.buttons[0] : L"?"),
                  L"first line\r\nsecond \u00e9|" + std::to_wstring(expected) + L"|OK");
    }
}

}  // namespace
