// The fetch through WinINet and the report methods through IDispatch, against
// the run's report server (run.sh). Each test uses accounts of its own
// (tests/wine/accounts.txt), so any order works. The tag through the host
// stand-in is the demo's last step (wine_xp_demo).
#include <gtest/gtest.h>
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>

#include "frmsett.h"
#include "get_source.h"
#include "wake_flag.h"
#include "wintest.h"

using tavri::win::GetSource;
using namespace wintest;

namespace {

// The URL of an account's report on the run's report server (run.sh): on the
// port the build points at, or on the one an environment variable names
// (TAVRI_UNTRUSTED_PORT, TAVRI_SILENT_PORT, TAVRI_LINK_PORT).
std::string reportUrl(const std::string& user, const char* portVariable = nullptr) {
    const char* port = portVariable ? std::getenv(portVariable) : "47443";
    return std::string("https://localhost:") + (port ? port : "0") +
           "/mydatamonitor/usage.txt?username=" + user + "&password=pw";
}

// The requests that reached the server for a user (one spelt without
// characters the log escapes), in arrival order. The log's fields, tab-separated:
// time, method, path, user, password, agent, scheme.
std::vector<std::vector<std::string>> requestsOf(const std::string& user) {
    std::vector<std::vector<std::string>> found;
    const char* path = std::getenv("TAVRI_SERVER_LOG");
    std::ifstream log(path ? path : "");
    for (std::string line; std::getline(log, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        if (f.size() == 7 && f[3] == user) found.push_back(f);
    }
    return found;
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    while (times--)
        out += piece;
    return out;
}

TEST(Fetch, EachServerAnswerGivesItsBody) {
    const struct {
        const char* what;
        std::string url, body;
    } cases[] = {
        {"a report", reportUrl("agent"), "usage=1MB\r\n"},
        {"an error status", reportUrl("status500"), "error=internal\r\n"},
        {"five redirects in a row", reportUrl("hop5"), "usage=2MB\r\n"},
        {"six redirects in a row", reportUrl("hop6"), ""},
        {"a redirect to http", reportUrl("redirecthttp"), ""},
        {"an untrusted certificate", reportUrl("untrusted", "TAVRI_UNTRUSTED_PORT"), ""},
        {"a certificate for another host", reportUrl("untrusted").replace(8, 9, "127.0.0.1"), ""},
        {"a dropped connection", reportUrl("drop"), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetSource(c.url), c.body) << c.what;
    const auto sent = requestsOf("agent");
    ASSERT_EQ(sent.size(), 1u) << "one request per call";
    EXPECT_EQ(sent[0][1] + " " + sent[0][2] + " " + sent[0][6] + " " + sent[0][5],
              "GET /mydatamonitor/usage.txt https "
              "Mozilla/4.0%20(compatible;%20MSIE%206.0;%20Windows%20NT%20"
              "5.1;%20.NET%20CLR%201.1.4322)");
    EXPECT_TRUE(requestsOf("cleartext").empty()) << "credentials went out over plain http";
    EXPECT_TRUE(requestsOf("untrusted").empty()) << "the request went out over untrusted TLS";
    const std::string cut = GetSource(reportUrl("cut"));  // the connection drops after 1000 bytes
    EXPECT_TRUE(cut.size() <= 1000 && cut.rfind("filler 00000001", 0) == 0) << cut.substr(0, 40);
}

// Upper-half letters at every chunk boundary, converted to UTF-8; under the
// Japanese code page (wine_report_cp932) double-byte characters cut by the reads.
TEST(Fetch, ChunksAreJoinedExactlyAndTheReadStopsAt16MiB) {
    if (GetACP() == 932) {
        EXPECT_EQ(GetSource(reportUrl("letters932")),
                  "x" + repeated("\xE3\x81\x82", 5000) + "usage=5MB\r\n");
        return;
    }
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_TRUE(GetSource(reportUrl("letters1252")) ==
                repeated("\xE2\x82\xAC\xC3\xA9\xC5\xB8\xC2\xA0\xC3\xBF\xE2\x80\x93", 17000) +
                    "usage=5MB\r\n");
    const std::string huge = GetSource(reportUrl("huge"));
    ASSERT_EQ(huge.size(), 16u << 20);
    EXPECT_EQ(huge.substr(0, 16) + huge.substr((16u << 20) - 64, 16),
              "filler 00000001 filler 00262144 ");
}

// The first fetch through the run's link goes over a fresh connection: an
// answer that takes longer than a reused connection is given is waited for,
// never asked for again.
TEST(Fetch, ASlowAnswerOverAFreshConnectionIsAskedForOnce) {
    EXPECT_EQ(GetSource(reportUrl("slowlink", "TAVRI_LINK_PORT")), "usage=7MB\r\n");
    EXPECT_EQ(requestsOf("slowlink").size(), 1u) << "requests for one fetch";
}

// A message-only window of the fetching thread that counts its WM_APP
// messages; wParam 1 asks for a nested fetch, 2 lets go of `object`, 3 posts
// the message again (a state machine driven by PostMessage).
struct Probe {
    int dispatched = 0;
    std::string nested;
    IDispatch* object = nullptr;
    ULONG left = 0;  // references to object after letting go of it
    HWND hwnd =
        CreateWindowW(L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Probe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg != WM_APP) return DefWindowProcW(hwnd, msg, wp, lp);
        ++self->dispatched;
        if (wp == 1) self->nested = GetSource(reportUrl("nested"));
        if (wp == 2) self->left = self->object->Release();
        if (wp == 3) PostMessageW(hwnd, WM_APP, 3, 0);
        return 0;
    }
    Probe() {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    }
    ~Probe() { DestroyWindow(hwnd); }
};

// A fetch on this thread while another thread sends to a window of this
// thread every 5 ms: the body, how long the fetch took and the longest a
// message waited for its answer.
struct ProbedFetch {
    std::string body;
    DWORD ms = 0, longestWait = 0;
};
ProbedFetch probedFetch(const std::string& url, DWORD boundMs) {
    ProbedFetch f;
    Probe probe;
    std::atomic<bool> done{false};
    Background sender([&] {
        for (DWORD_PTR answer; !done; Sleep(5)) {
            const DWORD start = GetTickCount();
            SendMessageTimeoutW(probe.hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
            f.longestWait = std::max(f.longestWait, GetTickCount() - start);
        }
    });
    const DWORD start = GetTickCount();
    f.body = boundMs ? GetSource(url, boundMs) : GetSource(url);
    f.ms = GetTickCount() - start;
    done = true;
    EXPECT_TRUE(sender.join(10000));
    return f;
}

// Each fetch on a thread of its own, all at once: each ends within its bound
// (20 s unless the caller names another), no sooner than the server makes it,
// and its thread answers every message meanwhile. The limits leave a loaded
// machine room to wake a thread late: a fetch may end up to kLateMs past its
// bound (a bound missed, or counted twice, overshoots by 1.5 s or more), and a
// sent message may wait up to kLateMs (a thread that does not answer during the
// fetch makes it wait for the whole fetch, here 1.5 s at least).
constexpr DWORD kLateMs = 750;
TEST(Fetch, SlowServersReleaseTheCallerWithinTheBoundWhileItsWindowsKeepWorking) {
    const struct {
        const char* what;
        std::string url;
        DWORD boundMs, atLeastMs, atMostMs;  // boundMs 0: GetSource's own; atMostMs + kLateMs
        const char* start;                   // of the body
    } cases[] = {
        {"a stalled answer", reportUrl("stall"), 0, 0, 20000, ""},
        // A server that goes on sending is read for most of the bound.
        {"one byte every 100 ms", reportUrl("trickle"), 0, 10000, 20000, "filler 0000000"},
        {"an answer after 4 s", reportUrl("delayed"), 0, 4000, 20000, "usage=6MB\r\n"},
        {"a TLS handshake that never ends", reportUrl("agent", "TAVRI_SILENT_PORT"), 1500, 1500,
         1500, ""},
    };
    std::vector<ProbedFetch> fetched(std::size(cases));
    {
        std::deque<Background> threads;
        for (size_t i = 0; i < std::size(cases); ++i)
            threads.emplace_back(
                [&, i] { fetched[i] = probedFetch(cases[i].url, cases[i].boundMs); });
        for (auto& thread : threads)
            ASSERT_TRUE(thread.join(30000));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const ProbedFetch& f = fetched[i];
        EXPECT_EQ(f.body.substr(0, 14), cases[i].start) << cases[i].what;
        EXPECT_TRUE(f.ms >= cases[i].atLeastMs && f.ms <= cases[i].atMostMs + kLateMs)
            << cases[i].what << ": " << f.ms << " ms";
        EXPECT_LE(f.longestWait, kLateMs) << cases[i].what << ": a sent message waited that long";
    }
}

// This process's threads and handles, counted in the system's tables (Wine
// answers GetProcessHandleCount with 0).
std::pair<ULONG, ULONG> threadsAndHandles() {
    const auto query =
        reinterpret_cast<LONG(WINAPI*)(int, void*, ULONG, ULONG*)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> table(4 << 20);
    std::pair<ULONG, ULONG> counts{0, 0};
    auto* p = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(table.data());
    for (bool ok = query(SystemProcessInformation, p, table.size(), nullptr) == 0; ok;
         ok = p->NextEntryOffset, p = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(
                                      reinterpret_cast<char*>(p) + p->NextEntryOffset))
        if (HandleToULong(p->UniqueProcessId) == GetCurrentProcessId())
            counts.first = p->NumberOfThreads;
    const auto* handles = reinterpret_cast<SYSTEM_HANDLE_INFORMATION*>(table.data());
    if (query(SystemHandleInformation, table.data(), table.size(), nullptr) == 0)
        for (ULONG i = 0; i < handles->Count; ++i)
            counts.second += handles->Handle[i].OwnerPid == GetCurrentProcessId();
    return counts;
}

// 200 fetches from 100 threads, whose TLS handshakes the server holds for 2 s
// and then drops: the fetches that get a place wait out their bound and leave
// their workers behind, the rest fail at once, and the workers never outnumber
// the places and the idle ones. Once the server has let go, every worker has
// ended and closed what it opened. A fetch with a place takes its whole bound;
// one without fails at once, which a loaded machine may stretch, but not to
// 450 ms.
TEST(Fetch, WorkersLeftBehindAtTheBoundEndOnTheirOwn) {
    GetSource(
        reportUrl("agent", "TAVRI_UNTRUSTED_PORT"));  // what the first TLS fetch opens for good
    const auto before = threadsAndHandles();
    std::atomic<int> late{0}, waited{0};
    long workers[200] = {};  // live after each fetch
    {
        std::deque<Background> callers;
        for (int i = 0; i < 100; ++i)
            callers.emplace_back([&, i] {
                for (int j = 0; j < 2; ++j) {
                    const DWORD start = GetTickCount();
                    late += !GetSource(reportUrl("agent", "TAVRI_SILENT_PORT"), 500).empty() ||
                            GetTickCount() - start > 500 + kLateMs;
                    waited += GetTickCount() - start >= 450;
                    workers[2 * i + j] = tavri::win::liveFetchWorkers();
                }
            });
        for (auto& caller : callers)
            ASSERT_TRUE(caller.join(20000));
    }
    EXPECT_EQ(late, 0) << "fetches that did not end at their bound";
    EXPECT_LE(waited, 8) << "fetches that waited with no place free";
    EXPECT_LE(*std::max_element(workers, workers + 200), 8 + 4) << "running and idle workers";
    auto after = before;
    EXPECT_TRUE(waitUntil(
        [&] {
            after = threadsAndHandles();
            return after.first <= before.first && after.second <= before.second;
        },
        10000))
        << "threads, handles: " << before.first << ", " << before.second << " before, "
        << after.first << ", " << after.second << " after";
}

// Messages posted before a fetch are dispatched during it: one that fetches in
// turn gets its body, and a WM_QUIT is kept for the thread's own loop. A queue
// that is never empty (a window posting to itself) goes on being dispatched
// and does not hold the fetch back once its answer is in: a fetch held back
// lasts its whole 5 s bound, a loaded machine's other one much less than half.
// The server holds each answer 500 ms, so the fetch is still running when its
// caller, however late a loaded machine lets it go on, begins to wait.
TEST(Fetch, QueuedMessagesAreDispatchedAndDoNotHoldTheFetchBack) {
    Probe probe;
    PostMessageW(probe.hwnd, WM_APP, 1, 0);
    PostMessageW(probe.hwnd, WM_APP, 0, 0);
    PostQuitMessage(7);
    const std::string outer = GetSource(reportUrl("pending"));
    EXPECT_EQ(std::to_string(probe.dispatched) + " " + probe.nested + outer,
              "2 usage=4MB\r\nusage=8MB\r\n");
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 7)
        << "WM_QUIT was swallowed";
    PostMessageW(probe.hwnd, WM_APP, 3, 0);
    const DWORD start = GetTickCount();
    const std::string busy = GetSource(reportUrl("pending"), 5000);
    const DWORD ms = GetTickCount() - start;
    while (PeekMessageW(&msg, probe.hwnd, WM_APP, WM_APP, PM_REMOVE)) {
    }
    EXPECT_TRUE(busy == "usage=8MB\r\n" && ms < 2500 && probe.dispatched > 3)
        << ms << " ms, dispatched " << probe.dispatched;
}

// The fetch's hand-over between threads, with condition variables and with
// the event alone (what Windows XP gets): a raise is taken by one wait, and
// reaches the event even when it came before the event was asked for. (Every
// fetch hands over between threads with the fastest kind.)
TEST(WakeFlag, ARaiseReachesTheWaiterThroughWaitAndThroughItsEvent) {
    using tavri::win::WakeFlag;
    for (const auto kind : {WakeFlag::Kind::Fastest, WakeFlag::Kind::EventOnly}) {
        SCOPED_TRACE(kind == WakeFlag::Kind::Fastest ? "fastest" : "event only");
        WakeFlag flag(kind);
        EXPECT_FALSE(flag.wait(20));
        flag.raise();
        EXPECT_TRUE(flag.wait(0) && !flag.wait(0)) << "up, then lowered by the wait";
        flag.raise();
        EXPECT_EQ(WaitForSingleObject(flag.event(), 0), WAIT_OBJECT_0);
    }
}

// The host lets go of the object from a message dispatched during a call: in
// the fetch of usage, and in plan_limit's wrong-credentials prompt. The call
// keeps the object and ends normally, and the object goes with it: once its
// thread has ended, nothing keeps the DLL loaded. The server holds the usage
// answer 500 ms, so the fetch is still running when its caller begins to wait.
TEST(ReportMethods, TheHostMayLetGoOfTheObjectDuringACall) {
    const HMODULE dll = LoadLibraryW(besideMe(L"Tavri.dll").c_str());
    const auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    for (const bool prompt : {false, true}) {
        storeCredentials(prompt ? "stranger" : "letgo", "pw");
        CallResult r;
        ULONG left = 0;
        Background thread([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            Probe probe;
            probe.object = createPlugin().detach();
            const auto letGo = [&] { PostMessageW(probe.hwnd, WM_APP, 2, 0); };
            if (!prompt) letGo();
            withUser([&] { r = call(probe.object, prompt ? L"plan_limit" : L"usage"); },
                     [&] {
                         if (prompt && waitForWindow(ownProcess(L"#32770"))) letGo();
                     });
            left = probe.left;
            CoUninitialize();
        });
        ASSERT_TRUE(thread.join(30000));
        EXPECT_TRUE(r.ok() && r.vt == (prompt ? VT_EMPTY : VT_I4) &&
                    r.number == (prompt ? 0 : 42) && left > 0)
            << prompt << " " << hex(r.hr) << " " << r.vt << " " << left;
    }
    EXPECT_TRUE(waitUntil([&] { return canUnloadNow() == S_OK; }))
        << "the objects or their thread's context are left";
    FreeLibrary(dll);
}

// A host forces the DLL out while its thread still has the plug-in's settings
// window: by FreeLibrary of its own, or by CoUninitialize, which frees
// in-process servers whether or not they are in use. The last reference left
// is the fetch worker's, which goes once the worker has been idle for a
// second and ends. A broadcast to the thread's windows after that must not
// reach code that is gone.
TEST(ReportMethods, AForcedUnloadLeavesNoWindowWithoutItsCode) {
    storeCredentials("unload", "pw");
    for (const bool byCom : {false, true}) {
        Background host([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            EXPECT_EQ(call(createPlugin().get(), L"usage").number, 5);
            if (byCom)
                CoUninitialize();
            else
                FreeLibrary(GetModuleHandleW(L"Tavri.dll"));  // the reference COM holds
            // Until the worker, idle now, has ended: the one thread that ends on
            // its own this soon. Had a stall outlasted its idle time, the limit has.
            waitUntil([n = threadsAndHandles().first] { return threadsAndHandles().first < n; });
            const DWORD thread = GetCurrentThreadId();
            for (HWND window : findWindows({0, thread, nullptr, nullptr, false}))
                SendMessageW(window, WM_SETTINGCHANGE, 0, 0);
            const auto forms =
                findWindows({0, thread, tavri::win::kFrmsettClassName, nullptr, false});
            EXPECT_TRUE(GetModuleHandleW(L"Tavri.dll") || forms.empty()) << byCom;
            if (!byCom) CoUninitialize();
        });
        EXPECT_TRUE(host.join(30000));
    }
}

}  // namespace
