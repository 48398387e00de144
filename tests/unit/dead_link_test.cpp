// When the fetch sends its request once more (the Windows side acts on it):
// only for a request over a reused connection that failed without an answer
// or has waited 2 s for one, and only with 2 s of the bound left.
#include <gtest/gtest.h>

#include "dead_link.h"

TEST(DeadLink, ARequestGoesOutOnceMoreOnlyWhenAReusedConnectionStaysSilent) {
    using tavri::win::RequestProgress;
    const std::uint32_t at = 0xFFFFF000;  // the tick count wraps while it waits
    const struct {
        const char* what;
        RequestProgress request;  // sent, reused, answered, ended, sentAt
        std::uint32_t waitedMs, leftMs;
        bool due;
    } cases[] = {
        {"reused, 2 s without an answer", {true, true, false, false, at}, 2000, 18000, true},
        {"reused, not yet 2 s", {true, true, false, false, at}, 1999, 18000, false},
        {"reused, failed without an answer", {true, true, false, true, at}, 10, 19990, true},
        {"reused, answered", {true, true, true, false, at}, 5000, 15000, false},
        {"fresh, 5 s without an answer", {true, false, false, false, at}, 5000, 15000, false},
        {"fresh, failed", {true, false, false, true, at}, 10, 19990, false},
        {"not sent yet", {false, false, false, false, 0}, 5000, 15000, false},
        {"reused, under 2 s of the bound left", {true, true, false, false, at}, 2000, 1999, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tavri::win::retryDue(c.request, at + c.waitedMs, c.leftMs), c.due) << c.what;
}
