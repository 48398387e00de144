#pragma once
// The HTTPS fetch of the usage report through WinINet.
#include <string>

#include "ports.h"

namespace tavri::win {

// Every fetch ends within this bound, however the server behaves.
inline constexpr unsigned long kFetchBoundMs = 20000;
// At most this many fetches run at once in the process, counting those whose
// caller stopped waiting at the bound and whose worker runs on until the
// server lets go; a fetch past them fails at once, as when no worker can
// start. Besides their workers, at most kMaxIdleFetchWorkers wait for a job.
inline constexpr long kMaxRunningFetches = 8;
inline constexpr size_t kMaxIdleFetchWorkers = 4;

// Fetches url and returns the whole body as UTF-8 text; "" when the session
// or the URL cannot be opened, or when the fetch has not ended within
// boundMs. The fetch runs on a worker thread of its own while the calling
// thread waits and dispatches its window messages, so a nested call from one
// of them works; a WM_QUIT met meanwhile is put back when the wait ends.
std::string GetSource(const std::string& url, unsigned long boundMs = kFetchBoundMs);

class WinInetReportSource : public ReportSource {
public:
    std::string getSource(const std::string& url) override { return GetSource(url); }
};

// Fetch workers still running, counting those whose caller stopped waiting
// for them (they keep the module loaded until they end).
long liveFetchWorkers();

}  // namespace tavri::win
