// The fetch through WinINet and the report methods through IDispatch, against
// the run's report server (run.sh). Each test uses accounts of its own
// (tests/wine/accounts.txt), so any order works. The tag through the host
// stand-in is the demo's last step (wine_xp_demo).
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include "frmsett.h"
#include "get_source.h"
#include "wintest.h"

using tavri::win::GetSource;
using namespace wintest;

namespace {

constexpr DWORD kBoundMs = 20000;

std::string repeated(const std::string& piece, int times) {
    std::string out;
    while (times--) out += piece;
    return out;
}

TEST(Fetch, EachServerAnswerGivesItsBody) {
    const struct {
        const char* what;
        std::string url, body;
    } cases[] = {
        {"a report", reportUrl("agent"), "usage=1MB\r\n"},
        {"an error status", reportUrl("status500"), "error=internal\r\n"},
        {"a redirect to https", reportUrl("redirect"), "usage=2MB\r\n"},
        {"query syntax, blanks and an accent", reportUrl("a%26b%3Dc%25d%2Be%20f%E9", "p%20w%26"), "usage=3MB\r\n"},
        {"a redirect to http", reportUrl("redirecthttp"), ""},
        {"an untrusted certificate", reportUrl("untrusted", "pw", "untrusted"), ""},
        {"a closed port", reportUrl("agent", "pw", "closed"), ""},
        {"a dropped connection", reportUrl("drop"), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSource(c.url), c.body) << c.what;
    const auto sent = requestsOf("agent");
    ASSERT_EQ(sent.size(), 1u) << "one request per call";
    EXPECT_EQ(sent[0].method + " " + sent[0].path + " " + sent[0].scheme + " " + sent[0].agent,
              "GET /mydatamonitor/usage.txt https Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)");
    EXPECT_TRUE(requestsOf("cleartext").empty()) << "credentials went out over plain http";
    EXPECT_TRUE(requestsOf("untrusted").empty()) << "the request went out over untrusted TLS";
    const std::string cut = GetSource(reportUrl("cut"));  // the connection drops after 1000 bytes
    EXPECT_TRUE(cut.size() <= 1000 && cut.rfind("filler 00000001", 0) == 0) << cut.substr(0, 40);
}

// Upper-half letters at every chunk boundary, converted to UTF-8; under the
// Japanese code page (wine_report_cp932) double-byte characters cut by the reads.
TEST(Fetch, ChunksAreJoinedExactlyAndTheReadStopsAt16MiB) {
    if (GetACP() == 932) {
        EXPECT_EQ(GetSource(reportUrl("letters932")), "x" + repeated("\xE3\x81\x82", 5000) + "usage=5MB\r\n");
        return;
    }
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_TRUE(GetSource(reportUrl("letters1252")) ==
                repeated("\xE2\x82\xAC\xC3\xA9\xC5\xB8\xC2\xA0\xC3\xBF\xE2\x80\x93", 17000) + "usage=5MB\r\n");
    const std::string huge = GetSource(reportUrl("huge"));
    ASSERT_EQ(huge.size(), 16u << 20);
    EXPECT_EQ(huge.substr(0, 16) + huge.substr((16u << 20) - 64, 16), "filler 00000001 filler 00262144 ");
    const DWORD start = GetTickCount();
    EXPECT_EQ(GetSource(reportUrl("endless")).size(), 16u << 20);
    EXPECT_LT(GetTickCount() - start, kBoundMs);
}

// A message-only window of the fetching thread that counts its WM_APP
// messages; wParam 1 asks for a nested fetch.
struct Probe {
    int dispatched = 0;
    DWORD lastAt = 0;
    std::string nested;
    HWND hwnd = CreateWindowW(L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Probe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg != WM_APP) return DefWindowProcW(hwnd, msg, wp, lp);
        ++self->dispatched, self->lastAt = GetTickCount();
        if (wp == 1) self->nested = GetSource(reportUrl("nested"));
        return 0;
    }
    Probe() {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    }
    ~Probe() { DestroyWindow(hwnd); }
};

TEST(Fetch, SlowServersReleaseTheCallerWithinTheBoundWhileItsWindowsKeepWorking) {
    std::string stalled = "not yet";
    DWORD start = GetTickCount(), stalledMs = 0, postedAt = 0;
    Background stall([&] { stalled = GetSource(reportUrl("stall")), stalledMs = GetTickCount() - start; });
    Probe probe;
    Background poster([&] { Sleep(2000), postedAt = GetTickCount(), PostMessageW(probe.hwnd, WM_APP, 0, 0); });
    const std::string trickled = GetSource(reportUrl("trickle"));  // one byte every 100 ms
    const DWORD trickledMs = GetTickCount() - start;
    ASSERT_TRUE(poster.join(5000) && stall.join(kBoundMs + 10000));
    EXPECT_EQ(stalled, "");
    EXPECT_LE(std::max(stalledMs, trickledMs), kBoundMs + 1000);
    EXPECT_EQ(trickled.substr(0, 14), "filler 0000000") << trickled.size() << " bytes";
    ASSERT_EQ(probe.dispatched, 1) << "a message posted during the fetch was not dispatched";
    EXPECT_LT(probe.lastAt - postedAt, 1000u);
}

TEST(Fetch, PendingMessagesAreDispatchedANestedFetchWorksAndQuitIsKept) {
    Probe probe;
    PostMessageW(probe.hwnd, WM_APP, 1, 0);
    PostMessageW(probe.hwnd, WM_APP, 0, 0);
    PostQuitMessage(7);
    const std::string outer = GetSource(reportUrl("letters1252"));
    EXPECT_EQ(std::to_string(probe.dispatched) + " " + probe.nested + outer.substr(outer.size() - 11), "2 usage=4MB\r\nusage=5MB\r\n");
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 7) << "WM_QUIT was swallowed";
}

// WinINet hands out the lowest free handle slot: a leaked handle pushes it up.
TEST(Fetch, NoHandleIsLeftBehind) {
    const auto both = [] { GetSource(reportUrl("agent2")), GetSource(reportUrl("agent2", "pw", "closed")); };
    const auto nextInternetHandle = [] {
        HINTERNET h = InternetOpenA("probe", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetCloseHandle(h);
        return h;
    };
    both();
    const HINTERNET internetBefore = nextInternetHandle();
    const HANDLE kernelBefore = nextKernelHandle();
    for (int i = 0; i < 20; ++i) both();
    EXPECT_EQ(nextInternetHandle(), internetBefore);
    EXPECT_EQ(nextKernelHandle(), kernelBefore);
}

// Runs work on a thread of its own with a plug-in object made there as the
// host makes it, whose hidden settings form starts with these credentials.
// Windows still open when work is done are closed: a test fails, never hangs.
void withPlugin(const char* user, const char* password, const std::function<void(IDispatch*, HWND form)>& work) {
    storeCredentials(user, password);
    Background thread([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            const auto object = createPlugin();
            const auto forms = findWindows({GetCurrentProcessId(), GetCurrentThreadId(), tavri::win::kFrmsettClassName, nullptr, false});
            ASSERT_TRUE(object && forms.size() == 1);
            const auto shown = withUser([&] { work(object.get(), forms[0]); }, [] {});
            EXPECT_TRUE(shown.empty()) << "left open: " << shown.front();
        }
        CoUninitialize();
    });
    EXPECT_TRUE(thread.join(60000));
}

void type(HWND form, const std::wstring& user, const std::wstring& password) {
    setText(GetDlgItem(form, tavri::win::frmsett_id::kText1), user);
    setText(GetDlgItem(form, tavri::win::frmsett_id::kText2), password);
}

TEST(ReportMethods, FiguresAsIntegersPlanAsTextAndTypedCredentialsArriveExactly) {
    withPlugin("figures", "pw", [](IDispatch* plugin, HWND form) {
        const auto usage = call(plugin, L"usage"), limit = call(plugin, L"plan_limit"), name = call(plugin, L"plan_name");
        EXPECT_EQ(std::to_wstring(usage.vt) + L" " + std::to_wstring(usage.number) + L" " + std::to_wstring(limit.number) +
                      L" " + std::to_wstring(name.vt) + L" " + name.text,
                  L"3 1234 3000 8 Basic 10GB Upgrade");
        EXPECT_EQ(requestsOf("figures").size(), 3u);
        type(form, L"J\u00F6rg & Co=1%+x", L"p&w= %+ \u00E9");  // the server knows them in code page 1252
        EXPECT_EQ(call(plugin, L"usage").number, 77);
        type(form, L"nobody", L"pw");
        const auto failed = call(plugin, L"usage");
        EXPECT_EQ(hex(failed.hr) + L" " + std::to_wstring(failed.errorNumber), hex(DISP_E_EXCEPTION) + L" 5");
    });
}

TEST(ReportMethods, WrongCredentialsWarnThenTheFormSavesNewOnes) {
    withPlugin("nobody", "wrong", [](IDispatch* plugin, HWND) {
        MessageBoxView warning;
        bool saved = false;
        CallResult r;
        withUser([&] { r = call(plugin, L"plan_limit"); }, [&] {
            warning = dismissMessageBox(ownProcess());
            HWND form = waitForWindow(ownProcess(tavri::win::kFrmsettClassName));
            type(form, L"figures", L"pw");
            clickButton(GetDlgItem(form, tavri::win::frmsett_id::kCommand1));
            saved = waitUntil([&] { return !IsWindowVisible(form); });
        });
        EXPECT_EQ(warning.caption + L"|" + warning.text + L"|" + std::to_wstring(warning.icon),
                  L"Tavri Plugin|username or password incorrect|" + std::to_wstring(MB_ICONWARNING));
        EXPECT_TRUE(saved && r.ok() && r.vt == VT_EMPTY) << hex(r.hr);
        EXPECT_EQ(storedSetting("username") + "/" + storedSetting("password"), "figures/pw");
    });
}

}  // namespace
