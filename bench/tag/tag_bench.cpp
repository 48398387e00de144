// The statistics tag of Tavri.dll under Wine, against the report server
// stand-in (the credentials are already stored, the server answers every
// request with the same report):
//
//   tag_bench compare URL [ROUNDS [TARGET]]
//                                    one expansion of "(!XTAVRI)" against five
//                                    plain WinINet fetches of URL, the same
//                                    report the plug-in fetches; interleaved,
//                                    medians. Exit 3 when the ratio is above
//                                    TARGET (1.25: a loopback server).
//   tag_bench probe fetches URL      five plain fetches and nothing else
//   tag_bench probe expansion        one expansion and nothing else
//                                    (the script counts the connections each
//                                    opens at the server)
//   tag_bench link RTT_MS ROUNDS GAP_MS TARGET_ROUND_TRIPS
//                                    one expansion, then ROUNDS more, each
//                                    after GAP_MS of quiet (over a link of
//                                    RTT_MS whose idle connections the
//                                    script's link stand-in keeps, closes or
//                                    forgets); their median in round trips.
//                                    Exit 3 above the target.
//   tag_bench soak COUNT [MAX_HANDLE_GROWTH MAX_PRIVATE_KB_GROWTH]
//                                    COUNT expansions in this one process;
//                                    handle count and private bytes along the
//                                    way. Exit 3 when a growth limit is passed.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bare_fetch.h"
#include "bench_timing.h"
#include "get_source.h"
#include "process_figures.h"
#include "tag_expander.h"

namespace {

constexpr int kFetchesPerExpansion = 5;
constexpr double kLoopbackTargetRatio = 1.25;

int fail(const char* why) {
    std::fprintf(stderr, "tag_bench: %s\n", why);
    return 1;
}

void fiveFetches(const std::string& url) {
    for (int i = 0; i < kFetchesPerExpansion; ++i)
        bench::bareFetch(url);
}

void fiveGetSources(const std::string& url) {
    for (int i = 0; i < kFetchesPerExpansion; ++i)
        tavri::win::GetSource(url);
}

int compare(const std::string& url, int rounds, double target) {
    bench::TagExpander expander;
    if (!expander.open()) return fail("Tavri.dll is not registered");
    std::wstring text;
    if (!expander.expand(text)) return fail("the expansion failed: is the report server up?");
    const std::string report = bench::bareFetch(url);
    if (report.empty()) return fail("the plain fetch brought nothing");

    std::vector<double> expansion, five, one, fetchOnly;
    for (int i = 0; i < rounds; ++i) {
        // Alternate which goes first, so neither always meets a warm or cold server.
        if (i % 2) expansion.push_back(bench::timeMs([&] { expander.expand(text); }));
        five.push_back(bench::timeMs([&] { fiveFetches(url); }));
        if (i % 2 == 0) expansion.push_back(bench::timeMs([&] { expander.expand(text); }));
        one.push_back(bench::timeMs([&] { bench::bareFetch(url); }));
        fetchOnly.push_back(bench::timeMs([&] { fiveGetSources(url); }));
    }
    const double e = bench::median(expansion), f = bench::median(five), o = bench::median(one),
                 g = bench::median(fetchOnly);
    std::printf(
        "statistics tag: one expansion against five plain WinINet fetches of the same report\n");
    std::printf("(%d rounds, interleaved, medians; report %zu bytes)\n", rounds, report.size());
    std::printf("  one plain fetch                %8.2f ms\n", o);
    std::printf("  five plain fetches (baseline)  %8.2f ms\n", f);
    std::printf("  five GetSource calls           %8.2f ms (the plug-in's fetch alone)\n", g);
    std::printf("  one expansion (ParseTag)       %8.2f ms\n", e);
    std::printf("  expansion beyond the baseline  %8.2f ms\n", e - f);
    std::printf("  ratio expansion / baseline     %8.3f (target <= %.2f)\n", e / f, target);
    std::printf("  the same of the 10th percentiles %6.3f\n",
                bench::quickest(expansion) / bench::quickest(five));
    return e / f <= target ? 0 : 3;
}

int probe(const std::string& what, const std::string& url) {
    if (what == "fetches") {
        fiveFetches(url);
        return 0;
    }
    bench::TagExpander expander;
    std::wstring text;
    if (!expander.open() || !expander.expand(text)) return fail("the expansion failed");
    return 0;
}

int link(double rttMs, int rounds, DWORD gapMs, double target) {
    bench::TagExpander expander;
    std::wstring text;
    if (!expander.open() || !expander.expand(text)) return fail("the first expansion failed");
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        Sleep(gapMs);
        bool expanded = false;
        const double took = bench::timeMs([&] { expanded = expander.expand(text); });
        ms.push_back(expanded ? took : 1e9);  // a failure misses any target
    }
    const double median = bench::median(ms), roundTrips = median / rttMs;
    std::printf("%8.0f ms = %5.2f round trips (median of %d; target <= %.2f)", median, roundTrips,
                rounds, target);
    return roundTrips <= target ? 0 : 3;
}

void printFigures(const char* when, int done, const bench::ProcessFigures& f) {
    std::printf("  %-22s %5d expansions  %5lu handles  %8.1f KiB private\n", when, done,
                static_cast<unsigned long>(f.handles), f.privateBytes / 1024.0);
}

int soak(int count, long maxHandleGrowth, long maxPrivateKbGrowth) {
    bench::TagExpander expander;
    if (!expander.open()) return fail("Tavri.dll is not registered");
    std::printf("statistics tag: %d expansions in one host process\n", count);
    printFigures("start", 0, bench::currentProcessFigures());

    std::wstring first, text;
    if (!expander.expand(first)) return fail("the first expansion failed");
    // The first expansions load WinINet, TLS and the settings form: figures
    // settle after a few.
    const int warmUp = count < 20 ? 1 : 10;
    int failures = 0;
    for (int done = 1; done < warmUp; ++done)
        if (!expander.expand(text) || text != first) ++failures;
    const bench::ProcessFigures settled = bench::currentProcessFigures();
    printFigures("after warm-up", warmUp, settled);

    const double started = bench::nowMs();
    for (int done = warmUp; done < count;) {
        if (!expander.expand(text) || text != first) ++failures;
        ++done;
        if (done % (count / 10 > 0 ? count / 10 : 1) == 0 && done < count)
            printFigures("", done, bench::currentProcessFigures());
    }
    const double took = bench::nowMs() - started;
    const bench::ProcessFigures end = bench::currentProcessFigures();
    printFigures("end", count, end);

    const long handleGrowth = static_cast<long>(end.handles) - static_cast<long>(settled.handles);
    const double privateGrowthKb =
        (static_cast<double>(end.privateBytes) - static_cast<double>(settled.privateBytes)) /
        1024.0;
    std::printf(
        "  growth since warm-up: %+ld handles, %+.1f KiB private; %d failed expansions;"
        " %.1f ms an expansion\n",
        handleGrowth, privateGrowthKb, failures, count > warmUp ? took / (count - warmUp) : 0.0);
    if (failures) return fail("expansions failed or changed their text during the soak");
    if (maxHandleGrowth >= 0 && handleGrowth > maxHandleGrowth) {
        std::printf("  handle growth above the limit of %ld\n", maxHandleGrowth);
        return 3;
    }
    if (maxPrivateKbGrowth >= 0 && privateGrowthKb > maxPrivateKbGrowth) {
        std::printf("  private bytes growth above the limit of %ld KiB\n", maxPrivateKbGrowth);
        return 3;
    }
    return 0;
}

int run(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "compare" && argc >= 3)
        return compare(argv[2], argc > 3 ? std::atoi(argv[3]) : 40,
                       argc > 4 ? std::atof(argv[4]) : kLoopbackTargetRatio);
    if (mode == "probe" && argc >= 3) return probe(argv[2], argc > 3 ? argv[3] : "");
    if (mode == "link" && argc >= 6)
        return link(std::atof(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atof(argv[5]));
    if (mode == "soak" && argc >= 3)
        return soak(std::atoi(argv[2]), argc > 3 ? std::atol(argv[3]) : -1,
                    argc > 4 ? std::atol(argv[4]) : -1);
    std::fprintf(stderr,
                 "usage: tag_bench compare URL [ROUNDS] | probe fetches URL | probe expansion |"
                 " link RTT_MS ROUNDS GAP_MS TARGET | soak COUNT [MAX_HANDLE_GROWTH"
                 " MAX_PRIVATE_KB_GROWTH]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return fail("no COM");
    const int rc = run(argc, argv);
    CoUninitialize();
    return rc;
}
