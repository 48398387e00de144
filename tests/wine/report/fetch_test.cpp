// GetSource against the report server stand-in, under Wine. The wrapper
// script (fetch.sh) starts one server per behaviour and passes their
// addresses in the environment.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>

#include "get_source.h"
#include "server_env.h"
#include "test_bodies.h"
#include "win_ui.h"

using tavri::win::GetSource;
using namespace fetchtest;

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

TEST(FetchBody, WholeReportWithTheAgentStringOneRequestPerCall) {
    const size_t before = readLog("MAIN_LOG").size();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(GetSource(reportUrl("MAIN", "agent", "pw")), "usage=1MB\r\n");
    const auto log = readLog("MAIN_LOG");
    ASSERT_EQ(log.size(), before + 3);
    for (size_t i = before; i < log.size(); ++i) {
        ASSERT_EQ(log[i].size(), 7u);
        EXPECT_EQ(log[i][1], "GET");
        EXPECT_EQ(log[i][2], "/mydatamonitor/usage.txt");
        EXPECT_EQ(log[i][3], "agent");
        EXPECT_EQ(log[i][4], "pw");
        EXPECT_EQ(log[i][5], logEscaped(kAgent));
        EXPECT_EQ(log[i][6], "https");
    }
}

TEST(FetchBody, EscapedQueryArrivesDecodedAsSent) {
    const size_t before = readLog("MAIN_LOG").size();
    GetSource(reportUrl("MAIN", "a%26b%3Dc%25d%2Be%20f%E9", "p%20w%26"));
    const auto log = readLog("MAIN_LOG");
    ASSERT_EQ(log.size(), before + 1);
    EXPECT_EQ(log.back()[3], logEscaped("a&b=c%d+e f\xE9"));
    EXPECT_EQ(log.back()[4], logEscaped("p w&"));
}

TEST(FetchBody, ManyChunksJoinedExactlyWithUpperHalfLettersAtTheBoundaries) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, this is " << GetACP();
    const std::string body = GetSource(reportUrl("MAIN", "boundary", "pw"));
    const std::string expected = boundaryLettersUtf8();
    ASSERT_EQ(body.size(), expected.size());
    EXPECT_TRUE(body == expected) << "first difference at byte "
                                  << std::mismatch(body.begin(), body.end(), expected.begin()).first - body.begin();
}

TEST(FetchBody, DoubleByteCharacterCutByAReadComesOutWhole) {
    if (GetACP() != 932) GTEST_SKIP() << "runs under the Japanese code page 932 (see fetch.sh)";
    const std::string body = GetSource(reportUrl("MAIN", "split932", "pw"));
    EXPECT_EQ(body, splitCharactersUtf8());
}

TEST(FetchBody, ReadIsCutAt16MiB) {
    const Timed capped = timedFetch(reportUrl("MAIN", "huge", "pw"));
    ASSERT_EQ(capped.body.size(), kCap);
    EXPECT_TRUE(capped.body == huge().substr(0, kCap));
    EXPECT_EQ(capped.body.find("usage="), std::string::npos);

    const Timed endless = timedFetch(reportUrl("ENDLESS"));
    EXPECT_EQ(endless.body.size(), kCap);
    EXPECT_EQ(endless.body.find_first_not_of('.'), std::string::npos);
    EXPECT_LT(endless.ms, kBoundMs);
}

TEST(FetchBody, BodyOfAnErrorStatusIsStillRead) {
    EXPECT_EQ(GetSource(reportUrl("STATUS500")), "error=internal\r\n");
}

TEST(FetchBody, RedirectThatStaysOnHttpsIsFollowed) {
    EXPECT_EQ(GetSource(reportUrl("REDIRECT_HTTPS")), "usage=1MB\r\n");
}

TEST(FetchFailure, RedirectToPlainHttpGivesNothingAndSendsNothingInClear) {
    EXPECT_EQ(GetSource(reportUrl("REDIRECT_HTTP")), "");
    for (const auto& line : readLog("PLAIN_LOG")) EXPECT_NE(line.at(6), "http");
}

TEST(FetchFailure, UntrustedCertificateGivesNothing) {
    const size_t before = readLog("BADCERT_LOG").size();
    EXPECT_EQ(GetSource(reportUrl("BADCERT")), "");
    EXPECT_EQ(readLog("BADCERT_LOG").size(), before) << "the request went out over untrusted TLS";
}

TEST(FetchFailure, ServerDownGivesNothing) {
    const Timed down = timedFetch(reportUrl("DOWN"));
    EXPECT_EQ(down.body, "");
    EXPECT_LT(down.ms, kBoundMs);
}

TEST(FetchFailure, DroppedConnectionGivesWhatArrived) {
    EXPECT_EQ(GetSource(reportUrl("DROP")), "");
    const std::string cut = GetSource(reportUrl("CUT"));
    EXPECT_LE(cut.size(), 1000u) << "ends with: " << cut.substr(cut.size() > 80 ? cut.size() - 80 : 0);
    EXPECT_EQ(cut.rfind("filler 00000001", 0), 0u) << cut.substr(0, 40);
}

TEST(FetchFailure, StalledServerReleasesTheCallerWithinTheBound) {
    const Timed stalled = timedFetch(reportUrl("STALL"));
    EXPECT_EQ(stalled.body, "");
    EXPECT_LE(stalled.ms, kBoundMs);
}

// A message window that notes when its WM_APP messages are dispatched.
struct PumpProbe {
    int dispatched = 0;
    ULONGLONG lastDispatchedAt = 0;
    std::string nested;
};
PumpProbe* g_probe = nullptr;

LRESULT CALLBACK probeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP && g_probe) {
        ++g_probe->dispatched;
        g_probe->lastDispatchedAt = GetTickCount64();
        if (wp == 1) g_probe->nested = GetSource(reportUrl("MAIN", "agent", "pw"));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND makeProbeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = probeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavriFetchProbe";
    RegisterClassW(&wc);  // fails harmlessly the second time
    return CreateWindowW(L"TavriFetchProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                         nullptr);
}

TEST(FetchFailure, TricklingServerReleasesTheCallerWithWhatArrivedAndKeepsItsWindowsAlive) {
    HWND hwnd = makeProbeWindow();
    ASSERT_TRUE(hwnd);
    PumpProbe probe;
    g_probe = &probe;
    ULONGLONG postedAt = 0;
    wintest::Background poster([&] {
        Sleep(2000);
        postedAt = GetTickCount64();
        PostMessageW(hwnd, WM_APP, 0, 0);
    });
    const Timed trickled = timedFetch(reportUrl("TRICKLE"));
    ASSERT_TRUE(poster.join(5000));
    g_probe = nullptr;
    DestroyWindow(hwnd);

    EXPECT_LE(trickled.ms, kBoundMs);
    EXPECT_GT(trickled.ms, kBoundMs / 2) << "the trickle ended early: " << trickled.body.size();
    EXPECT_GT(trickled.body.size(), 50u);
    EXPECT_EQ(std::string("filler 00000001").compare(0, trickled.body.size(), trickled.body.substr(0, 15)), 0);
    // A message posted while the fetch runs is dispatched within moments, not
    // when the fetch ends.
    ASSERT_EQ(probe.dispatched, 1);
    EXPECT_LT(probe.lastDispatchedAt - postedAt, 1000u);
}

// Window messages posted before a fetch are dispatched by it; a nested fetch
// from a message handler does not disturb the running one.
TEST(FetchHousekeeping, DispatchesPendingMessagesAndToleratesANestedFetch) {
    HWND hwnd = makeProbeWindow();
    ASSERT_TRUE(hwnd);
    PumpProbe probe;
    g_probe = &probe;
    PostMessageW(hwnd, WM_APP, 1, 0);
    PostMessageW(hwnd, WM_APP, 0, 0);
    PostQuitMessage(7);
    const std::string outer = GetSource(reportUrl("MAIN", "boundary", "pw"));
    g_probe = nullptr;

    EXPECT_EQ(probe.dispatched, 2);
    EXPECT_EQ(probe.nested, "usage=1MB\r\n");
    EXPECT_EQ(outer.size(), boundaryLettersUtf8().size());
    if (GetACP() == 1252) {
        EXPECT_TRUE(outer == boundaryLettersUtf8());
    }
    MSG quit{};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT was swallowed";
    EXPECT_EQ(quit.wParam, 7u);
    DestroyWindow(hwnd);
}

TEST(FetchHousekeeping, NoHandleIsLeftBehindPerCall) {
    GetSource(reportUrl("MAIN"));
    GetSource(reportUrl("DOWN"));
    // WinINet hands out the lowest free handle slot: a leaked session or
    // request pushes the next one up.
    const auto nextInternetHandle = [] {
        HINTERNET h = InternetOpenA("probe", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetCloseHandle(h);
        return reinterpret_cast<UINT_PTR>(h);
    };
    const UINT_PTR internetBefore = nextInternetHandle();
    DWORD kernelBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &kernelBefore);
    for (int i = 0; i < 25; ++i) {
        GetSource(reportUrl("MAIN"));
        GetSource(reportUrl("DOWN"));
    }
    DWORD kernelAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &kernelAfter);
    EXPECT_EQ(nextInternetHandle(), internetBefore);
    EXPECT_LE(kernelAfter, kernelBefore);
}

}  // namespace

int main(int argc, char** argv) {
    // fetch_test.exe --write-bodies DIR: writes the crafted bodies the server serves.
    if (argc == 3 && std::string(argv[1]) == "--write-bodies") {
        const std::string dir = argv[2];
        return writeBodies(std::wstring(dir.begin(), dir.end())) ? 0 : 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
