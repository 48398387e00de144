#include "report_url.h"

#include <gtest/gtest.h>

#include "plugin.h"

namespace tavri {
namespace {

TEST(ReportUrl, PrefixNamesHostPathAndFirstKey) {
    EXPECT_EQ(reportUrlPrefix("localhost:47443"),
              "https://localhost:47443/mydatamonitor/usage.txt?username=");
}

TEST(ReportUrl, OrdinaryCredentialsPassUnchanged) {
    EXPECT_EQ(reportUrl("P?username=", "john.smith_99-x~", "Secret42"),
              "P?username=john.smith_99-x~&password=Secret42");
    EXPECT_EQ(reportUrl("P?username=", "", ""), "P?username=&password=");
}

TEST(ReportUrl, QuerySyntaxAndOtherBytesAreEscaped) {
    EXPECT_EQ(percentEncode("a&b=c"), "a%26b%3Dc");
    EXPECT_EQ(percentEncode("100% +#"), "100%25%20%2B%23");
    EXPECT_EQ(percentEncode("/?\\\"'"), "%2F%3F%5C%22%27");
    EXPECT_EQ(percentEncode("\xE9\xFF"), "%E9%FF");
    EXPECT_EQ(percentEncode(std::string_view("\0\n", 2)), "%00%0A");
    EXPECT_EQ(reportUrl("P?username=", "me&password=x", "p w"),
              "P?username=me%26password%3Dx&password=p%20w");
}

}  // namespace
}  // namespace tavri
