#pragma once
// When a fetch sends its request once more: the rule alone, in plain
// numbers, so it is checked natively. Times are milliseconds of a 32-bit
// tick count that wraps.
#include <cstdint>

namespace tavri::win {

// A request on a reused keep-alive connection that brings no answer within
// this wait is taken for one the network has silently forgotten. A live
// connection answers within a round trip plus the server's own time: 600 ms
// on a geostationary satellite link, well under a second for the server's
// report, so 2 s leaves both room. Were it ever wrong, nothing is lost but
// one extra request: the first request goes on, and the first full answer
// of the two wins.
inline constexpr std::uint32_t kDeadLinkWaitMs = 2000;
// A second request is not worth starting with less of the bound left than a
// fresh connection needs to answer on a slow link.
inline constexpr std::uint32_t kMinRetryLeftMs = 2000;

// How the first request of a fetch stands, as WinINet's status callbacks and
// its return tell it.
struct RequestProgress {
    bool sent = false;      // the request has gone out
    bool reused = false;    // over a connection kept from an earlier request
    bool answered = false;  // a response came back
    bool ended = false;     // the attempt is over, answered or not
    std::uint32_t sentAt = 0;
};

// How long until the same request is due to go out once more, on a fresh
// connection: for a request over a reused connection that has no answer, 0
// once it ended without one or has waited kDeadLinkWaitMs; kNever for any
// other.
inline constexpr std::uint32_t kNever = 0xFFFFFFFF;
inline std::uint32_t msUntilRetry(const RequestProgress& p, std::uint32_t now) {
    if (!p.sent || !p.reused || p.answered) return kNever;
    const std::uint32_t waited = now - p.sentAt;
    return p.ended || waited >= kDeadLinkWaitMs ? 0 : kDeadLinkWaitMs - waited;
}

// Whether that is now, and the bound still leaves time for it.
inline bool retryDue(const RequestProgress& p, std::uint32_t now, std::uint32_t leftMs) {
    return leftMs >= kMinRetryLeftMs && msUntilRetry(p, now) == 0;
}

}  // namespace tavri::win
