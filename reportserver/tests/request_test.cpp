#include <gtest/gtest.h>

#include "http_request.h"
#include "request_log.h"

namespace reportserver {
namespace {

TEST(RequestHead, ReadsLineAndTheHeadersThatMatter) {
    const auto r = parseRequestHead(
        "GET /mydatamonitor/usage.txt?username=a&password=b HTTP/1.1\r\n"
        "user-agent:  Mozilla/4.0 (compatible)  \r\nHost: localhost\r\nContent-Length: 12\r\n"
        "Connection: Close");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->method, "GET");
    EXPECT_EQ(r->path(), "/mydatamonitor/usage.txt");
    EXPECT_EQ(r->query(), "username=a&password=b");
    EXPECT_EQ(r->userAgent, "Mozilla/4.0 (compatible)");
    EXPECT_EQ(r->contentLength, 12);
    EXPECT_FALSE(r->keepAlive);
}

TEST(RequestHead, TargetWithRawBlanksStaysWhole) {
    const auto r = parseRequestHead("GET /p?username=a b&password=c d HTTP/1.1\r\nHost: x");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->target, "/p?username=a b&password=c d");
    EXPECT_TRUE(r->keepAlive);
    EXPECT_FALSE(parseRequestHead("GET /p HTTP/1.0\r\nHost: x")->keepAlive);
}

TEST(RequestHead, RejectsWhatIsNoRequest) {
    EXPECT_FALSE(parseRequestHead(""));
    EXPECT_FALSE(parseRequestHead("GET\r\n"));
    EXPECT_FALSE(parseRequestHead("GET /x SPDY/3\r\n"));
    EXPECT_FALSE(parseRequestHead("GET /x HTTP/1.1\r\nContent-Length: -5"));
    EXPECT_FALSE(parseRequestHead("GET /x HTTP/1.1\r\nContent-Length: 99999999999999999999"));
}

TEST(Query, DecodesPercentButKeepsPlusAndBrokenEscapes) {
    EXPECT_EQ(percentDecode("a%26b%3Dc%25%2B%20%C3%A9"), "a&b=c%+ \xC3\xA9");
    EXPECT_EQ(percentDecode("1+1"), "1+1");
    EXPECT_EQ(percentDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(percentDecode("%"), "%");
}

TEST(Query, FindsFirstParameterByDecodedName) {
    const std::string q = "username=J%C3%B6rg&password=&username=second&flag&pass%77ord=x";
    EXPECT_EQ(queryParameter(q, "username"), "J\xC3\xB6rg");
    EXPECT_EQ(queryParameter(q, "password"), "");
    EXPECT_EQ(queryParameter(q, "flag"), "");
    EXPECT_EQ(queryParameter(q, "missing"), std::nullopt);
    // A raw '&' inside a value splits it: what the server then sees.
    EXPECT_EQ(queryParameter("username=a&b&password=c=d", "password"), "c=d");
    EXPECT_EQ(queryParameter("", "username"), std::nullopt);
}

TEST(Log, EscapesEveryByteThatCouldHideOrSplitAField) {
    EXPECT_EQ(logEscape("plain-ASCII_1.2(3)"), "plain-ASCII_1.2(3)");
    EXPECT_EQ(logEscape("a b\tc%d\n\x7f\xC3\xA9"), "a%20b%09c%25d%0A%7F%C3%A9");
    EXPECT_EQ(logEscape(std::string("\0", 1)), "%00");
}

TEST(Log, LineHasSevenTabSeparatedFields) {
    const auto r = parseRequestHead(
        "GET /mydatamonitor/usage.txt?username=a%26b&password=p%20w HTTP/1.1\r\nUser-Agent: UA 1");
    ASSERT_TRUE(r);
    EXPECT_EQ(logLine(*r, "https", "T"),
              "T\tGET\t/mydatamonitor/usage.txt\ta&b\tp%20w\tUA%201\thttps\n");
}

}  // namespace
}  // namespace reportserver
