// The fetch through WinINet, the report methods through IDispatch and the tag
// through the host stand-in, against the run's report server (run.sh). Each
// test uses accounts of its own (tests/wine/accounts.txt), so any order works.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>

#include "frmsett.h"
#include "wintest.h"
#include "get_source.h"

using tavri::win::GetSource;
using namespace wintest;

namespace {

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)";
constexpr ULONGLONG kBoundMs = 20000;
constexpr size_t kCap = 16u * 1024 * 1024;

struct Timed {
    std::string body;
    ULONGLONG ms;
};
Timed timedFetch(const std::string& url) {
    const ULONGLONG start = GetTickCount64();
    std::string body = GetSource(url);
    return {std::move(body), GetTickCount64() - start};
}

std::string repeated(const std::string& piece, int times, const std::string& tail) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out + tail;
}

TEST(Fetch, EachServerAnswerGivesItsBody) {
    const struct {
        const char* what;
        std::string url;
        std::string body;
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
    EXPECT_EQ(sent[0].agent, kAgent);
    EXPECT_EQ(sent[0].method + " " + sent[0].path + " " + sent[0].scheme, "GET /mydatamonitor/usage.txt https");
    EXPECT_TRUE(requestsOf("cleartext").empty()) << "credentials went out over plain http";
    EXPECT_TRUE(requestsOf("untrusted").empty()) << "the request went out over untrusted TLS";

    const std::string cut = GetSource(reportUrl("cut"));
    EXPECT_LE(cut.size(), 1000u);
    EXPECT_EQ(cut.rfind("filler 00000001", 0), 0u) << cut.substr(0, 40);
}

TEST(Fetch, ChunksAreJoinedExactlyAndTheReadStopsAt16MiB) {
    if (GetACP() == 1252) {
        const std::string letters = GetSource(reportUrl("letters1252"));
        const std::string expected = repeated("\xE2\x82\xAC\xC3\xA9\xC5\xB8\xC2\xA0\xC3\xBF\xE2\x80\x93", 17000, "usage=5MB\r\n");
        EXPECT_TRUE(letters == expected) << "sizes " << letters.size() << " " << expected.size();
    }
    if (GetACP() == 932)
        EXPECT_EQ(GetSource(reportUrl("letters932")), repeated("\xE3\x81\x82", 5000, "usage=5MB\r\n").insert(0, "x"));
    if (GetACP() != 1252) return;

    const std::string huge = GetSource(reportUrl("huge"));
    ASSERT_EQ(huge.size(), kCap);
    EXPECT_EQ(huge.rfind("filler 00000001 ", 0), 0u);
    EXPECT_EQ(huge.substr(kCap - 64, 16), "filler 00262144 ");
    const Timed endless = timedFetch(reportUrl("endless"));
    EXPECT_EQ(endless.body.size(), kCap);
    EXPECT_LT(endless.ms, kBoundMs);
}

// A message-only window that notes when its WM_APP messages are dispatched;
// wParam 1 asks for a nested fetch.
struct Probe {
    int dispatched = 0;
    ULONGLONG lastAt = 0;
    std::string nested;
    HWND hwnd = nullptr;
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Probe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg != WM_APP || !self) return DefWindowProcW(hwnd, msg, wp, lp);
        ++self->dispatched;
        self->lastAt = GetTickCount64();
        if (wp == 1) self->nested = GetSource(reportUrl("nested"));
        return 0;
    }
    Probe() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TavriFetchProbe";
        RegisterClassW(&wc);
        hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Probe() { DestroyWindow(hwnd); }
};

TEST(Fetch, SlowServersReleaseTheCallerWithinTheBoundWhileItsWindowsKeepWorking) {
    Timed stalled;
    Background stall([&] { stalled = timedFetch(reportUrl("stall")); });
    Probe probe;
    ULONGLONG postedAt = 0;
    Background poster([&] {
        Sleep(2000);
        postedAt = GetTickCount64();
        PostMessageW(probe.hwnd, WM_APP, 0, 0);
    });
    const Timed trickled = timedFetch(reportUrl("trickle"));
    ASSERT_TRUE(poster.join(5000));
    ASSERT_TRUE(stall.join(kBoundMs + 10000));

    EXPECT_EQ(stalled.body, "");
    EXPECT_LE(stalled.ms, kBoundMs + 1000);
    EXPECT_LE(trickled.ms, kBoundMs + 1000);
    EXPECT_GT(trickled.body.size(), 50u);
    EXPECT_EQ(trickled.body.rfind("filler 0000000", 0), 0u) << trickled.body.substr(0, 20);
    ASSERT_EQ(probe.dispatched, 1) << "a message posted during the fetch was not dispatched";
    EXPECT_LT(probe.lastAt - postedAt, 1000u);
}

TEST(Fetch, PendingMessagesAreDispatchedANestedFetchWorksAndQuitIsKept) {
    Probe probe;
    PostMessageW(probe.hwnd, WM_APP, 1, 0);
    PostMessageW(probe.hwnd, WM_APP, 0, 0);
    PostQuitMessage(7);
    const std::string outer = GetSource(reportUrl("letters1252"));
    EXPECT_EQ(probe.dispatched, 2);
    EXPECT_EQ(probe.nested, "usage=4MB\r\n");
    EXPECT_EQ(outer.substr(outer.size() - 11), "usage=5MB\r\n");
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT was swallowed";
    EXPECT_EQ(quit.wParam, 7u);
}

TEST(Fetch, NoHandleIsLeftBehind) {
    const auto both = [] {
        GetSource(reportUrl("agent2"));
        GetSource(reportUrl("agent2", "pw", "closed"));
    };
    both();
    // WinINet hands out the lowest free handle slot: a leaked one pushes it up.
    const auto nextInternetHandle = [] {
        HINTERNET h = InternetOpenA("probe", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetCloseHandle(h);
        return reinterpret_cast<UINT_PTR>(h);
    };
    const UINT_PTR internetBefore = nextInternetHandle();
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 20; ++i) both();
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(nextInternetHandle(), internetBefore);
    EXPECT_LE(after, before);
}

// Runs work on a thread of its own with a plug-in object made there as the
// host makes it: the thread's hidden settings form starts with the stored
// credentials user and password, and no earlier test's form is involved.
// Windows still open when work is done are closed, so a test fails, never hangs.
void withPlugin(const char* user, const char* password, const std::function<void(IDispatch*, HWND form)>& work) {
    storeCredentials(user, password);
    Background thread([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            CLSID clsid{};
            tavri::win::ComPtr<IDispatch> object;
            CLSIDFromProgID(L"TavriPlugin.plugin", &clsid);
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
            const auto forms = findWindows({GetCurrentProcessId(), GetCurrentThreadId(), tavri::win::kFrmsettClassName, nullptr, false});
            if (object && forms.size() == 1) work(object.get(), forms[0]);
            else ADD_FAILURE() << "no plug-in object with its form";
        }
        CoUninitialize();
    });
    EXPECT_TRUE(thread.join(60000));
}

void type(HWND form, const std::wstring& user, const std::wstring& password) {
    setText(childById(form, tavri::win::frmsett_id::kText1), user);
    setText(childById(form, tavri::win::frmsett_id::kText2), password);
}

TEST(ReportMethods, FiguresAsIntegersPlanAsTextAndTypedCredentialsArriveExactly) {
    withPlugin("figures", "pw", [](IDispatch* plugin, HWND form) {
        std::vector<std::string> shown;
        shown = withUser([&] {
            const auto usage = call(plugin, L"usage"), limit = call(plugin, L"plan_limit"), name = call(plugin, L"plan_name");
            ASSERT_TRUE(usage.ok() && limit.ok() && name.ok()) << hex(usage.hr);
            EXPECT_EQ(usage.vt, VT_I4);
            EXPECT_EQ(usage.number, 1234);
            EXPECT_EQ(limit.number, 3000);
            ASSERT_EQ(name.vt, VT_BSTR);
            EXPECT_EQ(name.text, L"Basic 10GB Upgrade");
            EXPECT_EQ(requestsOf("figures").size(), 3u);

            type(form, L"J\u00F6rg & Co=1%+x", L"p&w= %+ \u00E9");  // the server knows them in code page 1252
            const auto odd = call(plugin, L"usage");
            EXPECT_EQ(odd.number, 77) << hex(odd.hr);
            type(form, L"nobody", L"pw");
            const auto failed = call(plugin, L"usage");
            EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(failed.errorNumber, 5);
        }, [] {});
        EXPECT_TRUE(shown.empty()) << "a report call showed " << shown.front();
    });
}

TEST(ReportMethods, WrongCredentialsWarnThenTheFormSavesNewOnes) {
    withPlugin("nobody", "wrong", [](IDispatch* plugin, HWND) {
        MessageBoxView warning;
        bool saved = false;
        CallResult r;
        const auto closed = withUser([&] { r = call(plugin, L"plan_limit"); }, [&] {
            warning = dismissMessageBox(ownProcess(L"#32770"));
            HWND form = waitForWindow(ownProcess(tavri::win::kFrmsettClassName));
            if (!form) return;
            type(form, L"figures", L"pw");
            clickButton(childById(form, tavri::win::frmsett_id::kCommand1));
            saved = waitForWindowGone(form) || !IsWindowVisible(form);
        });
        EXPECT_TRUE(closed.empty()) << closed.front();
        EXPECT_EQ(warning.caption + L"|" + warning.text, L"Tavri Plugin|username or password incorrect");
        EXPECT_EQ(warning.icon, MB_ICONWARNING);
        EXPECT_TRUE(saved);
        EXPECT_TRUE(r.ok()) << hex(r.hr);
        EXPECT_EQ(r.vt, VT_EMPTY);
        EXPECT_EQ(storedSetting("username") + "/" + storedSetting("password"), "figures/pw");
    });
}

TEST(Tag, ChatLineThroughTheHostIsExpandedFromFiveFetches) {
    storeCredentials("tagged", "pw");
    ASSERT_EQ(runProcess(L"regedit /s \"" + besideMe(L"install.reg") + L"\""), 0);
    Process host(L"\"" + besideMe(L"plughost.exe") + L"\" --raw \"usage: (!xtavri) ok\"");
    ASSERT_EQ(host.wait(60000), 0) << host.errors();
    const auto label = [](const char* text) { return std::string("\x02") + text + "\x0F "; };
    const std::string expected = "usage: " + label("Plan Name:") + "Basic 10GB Upgrade\r\n" +
                                 label("Amount Used:") + "1234MB\r\n" + label("Plan Limit:") +
                                 "3000MB\r\n" + label("Amount Left:") + "1766 MB ok";
    EXPECT_NE(host.output().find(expected), std::string::npos) << host.output();
    EXPECT_EQ(requestsOf("tagged").size(), 5u);
}

}  // namespace
