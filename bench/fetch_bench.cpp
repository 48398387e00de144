// Benchmarks of the report fetch under Wine, each against a baseline timed in
// the same run, interleaved with it:
//
//   fetch_bench usage URL     one `usage` call of Tavri.dll through IDispatch
//                             (it fetches URL: the plug-in's own report URL for
//                             the stored credentials) against one plain
//                             WinINet fetch of that URL; also a plain fetch
//                             that keeps its session, to price the session.
//   fetch_bench size URL      GetSource of a large report against a plain
//                             256-byte read loop of the same body.
//   fetch_bench stretch URL   GetSource of a slow report while another thread
//                             sends to a window of the fetching thread every
//                             5 ms: the longest a message waited for its
//                             answer (the thread's longest unanswered stretch).
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bare_fetch.h"
#include "bench_timing.h"
#include "get_source.h"
#include "handles.h"

namespace {

using tavri::win::ComPtr;

struct Usage {
    ComPtr<IDispatch> plugin;
    DISPID id = DISPID_UNKNOWN;

    bool open() {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(L"TavriPlugin.plugin", &clsid))) return false;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    plugin.putVoid())))
            return false;
        LPOLESTR name = const_cast<LPOLESTR>(L"usage");
        return SUCCEEDED(plugin->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    }
    long call() {
        DISPPARAMS none{};
        tavri::win::UniqueVariant result;
        const HRESULT hr = plugin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                          result.get(), nullptr, nullptr);
        return SUCCEEDED(hr) && result.get()->vt == VT_I4 ? result.get()->lVal : -1;
    }
};

int usageBench(const std::string& url, int rounds) {
    if (FAILED(CoInitialize(nullptr))) return 1;
    int rc = 0;
    {
        Usage usage;
        if (!usage.open()) {
            std::fprintf(stderr, "fetch_bench: Tavri.dll is not registered or has no usage\n");
            return 1;
        }
        const long figure = usage.call();
        const size_t bytes = bench::bareFetch(url).size();
        if (figure < 0 || bytes == 0) {
            std::fprintf(stderr, "fetch_bench: usage gave %ld, the plain fetch %zu bytes\n", figure,
                         bytes);
            return 1;
        }
        HINTERNET kept = bench::openBareSession();
        std::vector<double> call, bare, keptSession, getSource;
        for (int i = 0; i < rounds; ++i) {
            call.push_back(bench::timeMs([&] { usage.call(); }));
            bare.push_back(bench::timeMs([&] { bench::bareFetch(url); }));
            keptSession.push_back(bench::timeMs([&] { bench::bareFetch(kept, url); }));
            getSource.push_back(bench::timeMs([&] { tavri::win::GetSource(url); }));
        }
        InternetCloseHandle(kept);
        const double c = bench::median(call), b = bench::median(bare),
                     k = bench::median(keptSession), g = bench::median(getSource);
        std::printf("usage call vs plain fetch (%d rounds, report %zu bytes, usage=%ld)\n", rounds,
                    bytes, figure);
        std::printf("  usage through IDispatch     %8.3f ms (median)\n", c);
        std::printf("  plain WinINet fetch         %8.3f ms (median)\n", b);
        std::printf("  plain fetch, kept session   %8.3f ms (median)\n", k);
        std::printf("  GetSource alone             %8.3f ms (median)\n", g);
        std::printf("  ratio usage / plain         %8.3f (target <= 1.25)\n", c / b);
        std::printf("  the same, 10th percentiles  %8.3f\n",
                    bench::quickest(call) / bench::quickest(bare));
        std::printf("  ratio GetSource / plain     %8.3f (the fetch's own share)\n", g / b);
        std::printf("  ratio plain / kept session  %8.3f (price of a session per fetch)\n", b / k);
        rc = c / b <= 1.25 ? 0 : 3;
    }
    CoUninitialize();
    return rc;
}

int sizeBench(const std::string& url, int rounds) {
    const std::string probe = tavri::win::GetSource(url);
    const std::string bare = bench::bareFetch(url);
    if (probe.empty() || probe != bare) {
        std::fprintf(stderr, "fetch_bench: GetSource gave %zu bytes, the plain loop %zu\n",
                     probe.size(), bare.size());
        return 1;
    }
    std::vector<double> viaGetSource, viaBareLoop;
    for (int i = 0; i < rounds; ++i) {
        viaGetSource.push_back(bench::timeMs([&] { tavri::win::GetSource(url); }));
        viaBareLoop.push_back(bench::timeMs([&] { bench::bareFetch(url); }));
    }
    const double g = bench::median(viaGetSource), b = bench::median(viaBareLoop);
    std::printf("large report through GetSource vs plain read loop (%d rounds, %zu bytes)\n",
                rounds, bare.size());
    std::printf("  GetSource                   %8.1f ms (median)\n", g);
    std::printf("  plain 256-byte read loop    %8.1f ms (median)\n", b);
    std::printf("  ratio GetSource / plain     %8.3f (target <= 1.5)\n", g / b);
    return g / b <= 1.5 ? 0 : 3;
}

struct Prober {
    HWND window;
    std::atomic<bool> stop{false};
    double longestMs = 0;
    int sent = 0;
};

DWORD WINAPI probe(void* param) {
    auto* p = static_cast<Prober*>(param);
    while (!p->stop) {
        DWORD_PTR answer = 0;
        const double waited = bench::timeMs(
            [&] { SendMessageTimeoutW(p->window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer); });
        p->longestMs = std::max(p->longestMs, waited);
        ++p->sent;
        Sleep(5);
    }
    return 0;
}

int stretchBench(const std::string& url, int rounds) {
    Prober prober;
    prober.window =
        CreateWindowW(L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, probe, &prober, 0, nullptr);
    std::vector<double> fetches;
    size_t bytes = 0;
    for (int i = 0; i < rounds; ++i)
        fetches.push_back(bench::timeMs([&] { bytes = tavri::win::GetSource(url).size(); }));
    prober.stop = true;
    MSG msg;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    CloseHandle(thread);
    DestroyWindow(prober.window);
    std::printf(
        "the fetching thread's messages during a slow fetch (%d rounds, %zu bytes, %d messages "
        "sent)\n",
        rounds, bytes, prober.sent);
    std::printf("  one fetch                   %8.1f ms (median)\n", bench::median(fetches));
    std::printf("  longest unanswered stretch  %8.1f ms (target <= 50)\n", prober.longestMs);
    return bytes > 0 && prober.longestMs <= 50 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fetch_bench usage|size|stretch URL [ROUNDS]\n");
        return 2;
    }
    const std::string what = argv[1];
    const int rounds = argc > 3 ? std::atoi(argv[3])
                                : (what == "usage"  ? 200
                                   : what == "size" ? 7
                                                    : 3);
    if (what == "usage") return usageBench(argv[2], rounds);
    if (what == "size") return sizeBench(argv[2], rounds);
    if (what == "stretch") return stretchBench(argv[2], rounds);
    std::fprintf(stderr, "fetch_bench: no benchmark '%s'\n", what.c_str());
    return 2;
}
