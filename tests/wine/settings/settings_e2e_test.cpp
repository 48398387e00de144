// The settings command from end to end: Tavri.dll registered with regsvr32,
// listed for the host with install.reg, the window opened by the host
// stand-in (or by a COM client in this process), driven by messages, and the
// per-user store read back from the registry.
//
//   settings_e2e_test.exe [--artifacts FOLDER] [gtest flags]
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "com_call.h"
#include "form_session.h"
#include "frmsett.h"
#include "handles.h"
#include "host_process.h"
#include "win_ui.h"

namespace {

using namespace settings_test;
namespace id = tavri::win::frmsett_id;

constexpr const wchar_t* kAppKey = L"Software\\VB and VBA Program Settings\\Tavri Plugin";
constexpr const wchar_t* kDataKey = L"Software\\VB and VBA Program Settings\\Tavri Plugin\\Data";

std::wstring g_artifacts;  // where the screenshot goes; none when empty

void store(const std::wstring& username, const std::wstring& password) {
    for (const auto& [name, value] : {std::pair{L"username", username}, {L"password", password}})
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kDataKey, name, REG_SZ, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
}

// A stored value, or nullopt-like {false, ""} when it does not exist.
struct Stored {
    bool exists;
    std::wstring value;
    bool operator==(const Stored&) const = default;
};
Stored stored(const wchar_t* name) {
    Stored s{};
    s.value = wintest::readString(HKEY_CURRENT_USER, kDataKey, name, &s.exists);
    return s;
}
void PrintTo(const Stored& s, std::ostream* os) {
    *os << (s.exists ? testing::PrintToString(s.value) : std::string("<absent>"));
}

// The open form as the user sees it.
struct Form {
    HWND window = nullptr;
    HWND text1 = nullptr, text2 = nullptr, save = nullptr, site = nullptr;
    explicit Form(HWND form) : window(form) {
        if (!form) return;
        text1 = GetDlgItem(form, id::kText1);
        text2 = GetDlgItem(form, id::kText2);
        save = GetDlgItem(form, id::kCommand1);
        site = GetDlgItem(form, id::kCommand2);
    }
    std::wstring account() const { return wintest::windowText(text1); }
    std::wstring password() const { return wintest::windowText(text2); }
};

class SettingsEndToEnd : public testing::Test {
protected:
    static void SetUpTestSuite() {
        registered_ =
            wintest::runProcess(L"regsvr32 /s \"" + wintest::besideMe(L"Tavri.dll") + L"\"") ==
                0 &&
            wintest::runProcess(L"regedit /s \"" + wintest::besideMe(L"install.reg") + L"\"") == 0;
    }
    void SetUp() override {
        ASSERT_TRUE(registered_) << "regsvr32 or regedit failed";
        RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
        ASSERT_FALSE(wintest::keyExists(HKEY_CURRENT_USER, kAppKey));
    }

    // Runs the settings command in a new host and returns its open form.
    static Form openSettings(HostProcess& host) { return Form(host.waitForForm()); }

    // Closes the form with the close box and checks that the host ended well.
    static void closeAndFinish(HostProcess& host, const Form& form) {
        PostMessageW(form.window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(wintest::waitForWindowGone(form.window));
        finish(host);
    }
    static void finish(HostProcess& host) {
        EXPECT_EQ(host.wait(), 0);
        EXPECT_EQ(host.errors(), "") << "the host saw an error";
    }

    static inline bool registered_ = false;
};

TEST_F(SettingsEndToEnd, NothingStoredOpensEmptyFieldsAndTheCloseBoxStoresNothing) {
    HostProcess host({L"/xtavrisett"});
    ASSERT_TRUE(host.started());
    const Form form = openSettings(host);
    ASSERT_NE(form.window, nullptr) << "no settings window; host said: " << host.errors();
    EXPECT_EQ(form.account(), L"");
    EXPECT_EQ(form.password(), L"");
    const DWORD hostThread = GetWindowThreadProcessId(form.window, nullptr);
    EXPECT_TRUE(waitUntil([&] { return focusOfThread(hostThread) == form.text2; }))
        << "the password field has the focus";

    wintest::setText(form.text1, L"typed but not saved");
    closeAndFinish(host, form);
    EXPECT_EQ(stored(L"username"), (Stored{false, L""}));
    EXPECT_EQ(stored(L"password"), (Stored{false, L""}));
}

TEST_F(SettingsEndToEnd, SavedValuesAreStoredAsTypedAndComeBackNextTime) {
    const std::wstring account = L"zo\u00EB.smith";
    const std::wstring password = L" p w&rd ";  // blanks and "&" kept as typed
    {
        HostProcess host({L"/xtavrisett"});
        const Form form = openSettings(host);
        ASSERT_NE(form.window, nullptr) << host.errors();
        wintest::setText(form.text1, account);
        wintest::setText(form.text2, password);
        if (!g_artifacts.empty()) {
            Sleep(500);  // let the window paint what was typed
            EXPECT_TRUE(wintest::saveWindowBitmap(form.window, g_artifacts + L"\\settings.bmp"));
        }
        wintest::clickButton(form.save);
        EXPECT_TRUE(wintest::waitForWindowGone(form.window)) << "save closes the form";
        finish(host);
    }
    EXPECT_EQ(stored(L"username"), (Stored{true, account}));
    EXPECT_EQ(stored(L"password"), (Stored{true, password}));

    HostProcess again({L"/xtavrisett"});
    const Form form = openSettings(again);
    ASSERT_NE(form.window, nullptr) << again.errors();
    EXPECT_EQ(form.account(), account);
    EXPECT_EQ(form.password(), password);
    closeAndFinish(again, form);
    EXPECT_EQ(stored(L"username"), (Stored{true, account}));
}

TEST_F(SettingsEndToEnd, TheCloseBoxKeepsWhatWasStoredBefore) {
    store(L"alice", L"secret");
    {
        HostProcess host({L"/xtavrisett"});
        const Form form = openSettings(host);
        ASSERT_NE(form.window, nullptr) << host.errors();
        EXPECT_EQ(form.account(), L"alice");
        EXPECT_EQ(form.password(), L"secret");
        wintest::setText(form.text1, L"mallory");
        wintest::setText(form.text2, L"guess");
        closeAndFinish(host, form);
    }
    EXPECT_EQ(stored(L"username"), (Stored{true, L"alice"}));
    EXPECT_EQ(stored(L"password"), (Stored{true, L"secret"}));

    HostProcess again({L"/xtavrisett"});
    const Form form = openSettings(again);
    ASSERT_NE(form.window, nullptr) << again.errors();
    EXPECT_EQ(form.account(), L"alice") << "the unsaved edit is gone with the closed form";
    EXPECT_EQ(form.password(), L"secret");
    closeAndFinish(again, form);
}

TEST_F(SettingsEndToEnd, SavingEmptyFieldsStoresTwoEmptyStrings) {
    store(L"alice", L"secret");
    HostProcess host({L"/xtavrisett"});
    const Form form = openSettings(host);
    ASSERT_NE(form.window, nullptr) << host.errors();
    wintest::setText(form.text1, L"");
    wintest::setText(form.text2, L"");
    wintest::clickButton(form.save);
    EXPECT_TRUE(wintest::waitForWindowGone(form.window));
    finish(host);
    EXPECT_EQ(stored(L"username"), (Stored{true, L""}));
    EXPECT_EQ(stored(L"password"), (Stored{true, L""}));
}

TEST_F(SettingsEndToEnd, TheWebSiteButtonStartsExplorerAndTheFormStaysOpen) {
    HostProcess host({L"/xtavrisett"});
    const Form form = openSettings(host);
    ASSERT_NE(form.window, nullptr) << host.errors();
    wintest::clickButton(form.site);

    std::vector<DWORD> explorers;
    EXPECT_TRUE(waitUntil([&] {
        explorers = childProcesses(host.pid(), L"explorer.exe");
        return !explorers.empty();
    }, 10000)) << "no explorer was started";
    for (DWORD pid : explorers) {
        const tavri::win::UniqueKernelHandle p(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        if (!p) continue;  // already gone
        TerminateProcess(p.get(), 0);
        WaitForSingleObject(p.get(), 5000);
    }
    EXPECT_TRUE(IsWindow(form.window) && IsWindowVisible(form.window)) << "the form stays open";
    closeAndFinish(host, form);
    EXPECT_FALSE(wintest::keyExists(HKEY_CURRENT_USER, kDataKey)) << "nothing stored";
}

// A COM client of its own: the form exists, hidden and filled from the store,
// as soon as the first object has been created, before any call.
TEST_F(SettingsEndToEnd, TheHiddenFormHoldsTheStoredValuesFromStartUp) {
    store(L"carol", L"pa ss&1");
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(L"TavriPlugin.plugin", &clsid), S_OK);
        tavri::win::ComPtr<IDispatch> plugin;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   plugin.putVoid()),
                  S_OK);

        const Form hidden(formOfThread(GetCurrentThreadId()));
        ASSERT_NE(hidden.window, nullptr) << "no settings form after start-up";
        EXPECT_FALSE(IsWindowVisible(hidden.window));
        EXPECT_EQ(hidden.account(), L"carol");
        EXPECT_EQ(hidden.password(), L"pa ss&1");

        // The settings command shows that same form, reloaded from the store.
        wintest::setText(hidden.text1, L"overwritten by the command");
        std::wstring shownAccount, shownPassword;
        wintest::Background user([&] {
            HWND window = nullptr;
            waitUntil([&] { return (window = formOfProcess(GetCurrentProcessId(), true)); },
                      10000);
            if (!window) return;
            const Form shown(window);
            shownAccount = shown.account();
            shownPassword = shown.password();
            wintest::setText(shown.text1, L"dave");
            wintest::clickButton(shown.save);
            // Never leave the caller blocked in the modal call.
            if (!wintest::waitForWindowGone(window, 5000)) PostMessageW(window, WM_CLOSE, 0, 0);
        });
        wintest::Bstr result(L"left over");
        const wintest::CallResult call = wintest::call(
            plugin.get(), L"ParseCommand",
            {wintest::Arg::value(L"/xtavrisett"), wintest::Arg::value(L""),
             wintest::Arg::value(static_cast<IDispatch*>(nullptr)),
             wintest::Arg::refBstr(result.slot())});
        EXPECT_TRUE(user.join(10000));
        EXPECT_TRUE(call.ok()) << wintest::hex(call.hr).c_str();
        EXPECT_TRUE(call.isTrue());
        EXPECT_EQ(result.text(), L"");
        EXPECT_EQ(shownAccount, L"carol");
        EXPECT_EQ(shownPassword, L"pa ss&1");
        EXPECT_EQ(stored(L"username"), (Stored{true, L"dave"}));
        EXPECT_EQ(stored(L"password"), (Stored{true, L"pa ss&1"}));
    }
    CoUninitialize();
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--artifacts") {
            const std::string folder = argv[i + 1];
            g_artifacts.assign(folder.begin(), folder.end());
        }
    return RUN_ALL_TESTS();
}
