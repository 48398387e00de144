#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "answers.h"

namespace reportserver {
namespace {

Request get(const std::string& target) {
    return *parseRequestHead("GET " + target + " HTTP/1.1\r\nHost: x");
}

Options baseOptions() {
    Options o;
    o.certFile = "c";
    o.keyFile = "k";
    return o;
}

TEST(Padding, ReachesTheSizeExactlyWithTheBodyLast) {
    const std::string body = "usage=1MB";
    for (const std::int64_t size : {0, 9, 10, 63, 64, 73, 100 * 1024 + 3}) {
        const std::string padded = padBody(body, size);
        EXPECT_EQ(static_cast<std::int64_t>(padded.size()), std::max<std::int64_t>(size, 9));
        EXPECT_EQ(padded.substr(padded.size() - body.size()), body);
        EXPECT_EQ(padded.find("usage="), padded.size() - body.size());
    }
}

TEST(Padding, FillerIsNumberedPrintableLines) {
    const std::string padded = padBody("", 64 * 3 + 5);
    EXPECT_EQ(padded.substr(0, 64), "filler 00000001 " + std::string(46, '.') + "\r\n");
    EXPECT_EQ(padded.substr(128, 16), "filler 00000003 ");
    EXPECT_EQ(padded.substr(192), ".....");
    for (const char c : padded)
        EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n') << int(c);
}

TEST(Responder, PicksTheAccountsBodyOrTheInvalidLogin) {
    Options o = baseOptions();
    o.accountsFile = "accounts";
    Responder r(o, {{"j&o", "p w", "usage=7MB"}, {"x", "", "usage=8MB"}});
    const Answer hit = r.answer(get("/mydatamonitor/usage.txt?username=j%26o&password=p%20w"), false);
    EXPECT_EQ(hit.body, "usage=7MB");
    EXPECT_EQ(hit.head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(hit.head.find("Content-Length: 9\r\n"), std::string::npos);
    EXPECT_EQ(r.answer(get("/mydatamonitor/usage.txt?username=x&password="), false).body, "usage=8MB");
    EXPECT_EQ(r.answer(get("/mydatamonitor/usage.txt?username=j%26o&password=pw"), false).body,
              kInvalidLoginBody);
    EXPECT_EQ(r.answer(get("/mydatamonitor/usage.txt?username=x"), false).body, kInvalidLoginBody);
    EXPECT_EQ(r.answer(get("/other?username=x&password="), false).head.rfind("HTTP/1.1 404", 0), 0u);
}

TEST(Responder, SequenceGivesTheNthBodyThenRepeatsTheLast) {
    const auto dir = std::filesystem::temp_directory_path() / "reportserver-seq-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "1") << "first";
    std::ofstream(dir / "2") << "second";
    Options o = baseOptions();
    o.sequence = {(dir / "1").string(), (dir / "2").string()};
    Responder r(o, {});
    const auto report = get("/mydatamonitor/usage.txt?username=a&password=b");
    EXPECT_EQ(r.answer(get("/favicon.ico"), false).head.rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(r.answer(report, false).body, "first");
    EXPECT_EQ(r.answer(report, false).body, "second");
    EXPECT_EQ(r.answer(report, false).body, "second");
    std::filesystem::remove_all(dir);
}

TEST(Responder, SwitchesShapeTheAnswer) {
    const auto report = get("/mydatamonitor/usage.txt?username=a&password=b");
    Options o = baseOptions();
    o.redirect = "http://localhost:1/mydatamonitor/usage.txt";
    {
        Responder r(o, {});
        const Answer a = r.answer(report, false);
        EXPECT_EQ(a.head.rfind("HTTP/1.1 302 Found\r\n", 0), 0u);
        EXPECT_NE(a.head.find("\r\nLocation: http://localhost:1/mydatamonitor/usage.txt\r\n"),
                  std::string::npos);
        EXPECT_EQ(r.answer(report, true).body, kSampleReport);  // the plain side answers
    }
    o = baseOptions();
    o.stall = true;
    EXPECT_EQ(Responder(o, {}).answer(report, false).kind, Answer::Kind::Stall);
    o = baseOptions();
    o.endless = true;
    const Answer endless = Responder(o, {}).answer(report, false);
    EXPECT_EQ(endless.kind, Answer::Kind::Endless);
    EXPECT_EQ(endless.head.find("Content-Length"), std::string::npos);
    o = baseOptions();
    o.status = 500;
    o.bodySize = 1000;
    o.dropAfter = 10;
    const Answer a = Responder(o, {}).answer(report, false);
    EXPECT_EQ(a.head.rfind("HTTP/1.1 500 ", 0), 0u);
    EXPECT_EQ(a.body.size(), 1000u);
    EXPECT_EQ(a.dropAfter, 10);
    EXPECT_NE(a.head.find("Connection: close"), std::string::npos);
}

}  // namespace
}  // namespace reportserver
