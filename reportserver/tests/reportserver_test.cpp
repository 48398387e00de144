#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "accounts.h"
#include "answers.h"
#include "http_request.h"
#include "options.h"
#include "request_log.h"

namespace reportserver {
namespace {

Request get(const std::string& target) {
    return *parseRequestHead("GET " + target + " HTTP/1.1\r\nHost: x");
}
Request report(const std::string& user, const std::string& password) {
    return get("/mydatamonitor/usage.txt?username=" + user + "&password=" + password);
}

TEST(Request, HeadQueryAndLog) {
    const auto r = parseRequestHead(
        "GET /mydatamonitor/usage.txt?username=a%26b&password=p%20w HTTP/1.1\r\n"
        "user-agent:  UA 1  \r\nContent-Length: 12\r\nConnection: Close");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->contentLength, 12);
    EXPECT_FALSE(r->keepAlive);
    EXPECT_EQ(logLine(*r, "https", "T"), "T\tGET\t/mydatamonitor/usage.txt\ta&b\tp%20w\tUA%201\thttps\n");
    EXPECT_EQ(logEscape(std::string("a\tc%\x7f\xC3\0", 7)), "a%09c%25%7F%C3%00");
    for (const char* bad : {"", "GET\r\n", "GET /x SPDY/3\r\n", "GET /x HTTP/1.1\r\nContent-Length: -5"})
        EXPECT_FALSE(parseRequestHead(bad)) << bad;
    EXPECT_EQ(percentDecode("a%26b%3D%25%2B+%20%C3%A9%zz%4"), "a&b=%++ \xC3\xA9%zz%4");
    const std::string q = "username=J%C3%B6rg&password=&username=second&pass%77ord=x";
    EXPECT_EQ(queryParameter(q, "username"), "J\xC3\xB6rg");
    EXPECT_EQ(queryParameter(q, "password"), "");
    EXPECT_EQ(queryParameter(q, "missing"), std::nullopt);
}

TEST(Accounts, FieldsSwitchesBodiesAndErrors) {
    const auto dir = std::filesystem::temp_directory_path() / "reportserver-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "body.txt", std::ios::binary) << "usage=1MB\r\n";
    Behaviour defaults;
    defaults.delayMs = 7;
    const auto accounts = parseAccounts(
        "# comment\n\nalice\tpw\tusage=5MB\\r\\n\r\n"
        "b\\x26b\ta\\tb\\\\\t--status=500\t--stall\tone\t@body.txt\n", dir, defaults);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].bodies, std::vector<std::string>{"usage=5MB\r\n"});
    EXPECT_EQ(accounts[0].behaviour.delayMs, 7);
    EXPECT_EQ(accounts[1].username, "b&b");
    EXPECT_EQ(accounts[1].password, "a\tb\\");
    EXPECT_EQ(accounts[1].bodies, (std::vector<std::string>{"one", "usage=1MB\r\n"}));
    EXPECT_EQ(accounts[1].behaviour.status, 500);
    EXPECT_TRUE(accounts[1].behaviour.stall);
    std::filesystem::remove_all(dir);
    for (const char* bad : {"ok\tpw\tbody\nonly-two\tfields\n", "u\tp\t--stall\n", "u\tp\t--bogus\tb\n",
                            "u\tp\t--status=9\tb\n", "u\tp\t--delay-ms\tb\n", "u\tp\tbad\\q\n",
                            "u\tp\t\\x4\n", "u\tp\t@no-such-file\n"})
        EXPECT_THROW(parseAccounts(bad, "/nonexistent"), AccountsError) << bad;
    try {
        parseAccounts("ok\tpw\tbody\nonly-two\tfields\n", ".");
    } catch (const AccountsError& e) {
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
}

TEST(Options, SwitchesAndTheirErrors) {
    const auto o = parseOptions({"--cert", "c", "--key", "k", "--port", "0", "--body-size", "100K",
                                 "--delay-ms", "5", "--untrusted-port", "0", "--untrusted-cert", "u",
                                 "--untrusted-key", "v"});
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.behaviour.bodySize, 100 * 1024);
    EXPECT_EQ(o.behaviour.delayMs, 5);
    EXPECT_EQ(o.untrustedPort, 0);
    const std::vector<std::vector<std::string>> bad = {
        {"--cert", "c"}, {"--port"}, {"--port", "70000"}, {"--delay-ms", "-1"},
        {"--redirect-http", "https://x"}, {"--bogus"}, {"--untrusted-port", "0"}};
    for (auto args : bad) {
        if (args[0] != "--cert") args.insert(args.begin(), {"--cert", "c", "--key", "k"});
        EXPECT_THROW(parseOptions(args), UsageError) << args.back();
    }
}

TEST(Responder, EachAccountItsOwnBodiesInTurnAndItsOwnSwitches) {
    Options o;
    o.accountsFile = "accounts";
    Behaviour slow;
    slow.delayMs = 20;
    Behaviour moved;
    moved.redirect = "https://localhost:{https}/x?p={http}";
    Responder r(o, {{"j&o", "p w", {"first", "second"}, {}}, {"s", "", {"b"}, slow},
                    {"m", "", {"b"}, moved}});
    r.setPorts(443, 80);
    const auto jo = report("j%26o", "p%20w");
    EXPECT_EQ(r.answer(report("s", ""), false).body, "b");  // another account's turn does not count
    EXPECT_EQ(r.answer(jo, false).body, "first");
    EXPECT_EQ(r.answer(jo, false).body, "second");
    EXPECT_EQ(r.answer(jo, false).body, "second");
    EXPECT_NE(r.answer(jo, false).head.find("Content-Length: 6\r\n"), std::string::npos);
    EXPECT_EQ(r.answer(report("s", ""), false).delayMs, 20);
    EXPECT_EQ(r.answer(jo, false).delayMs, 0);
    EXPECT_NE(r.answer(report("m", ""), false).head.find("\r\nLocation: https://localhost:443/x?p=80\r\n"),
              std::string::npos);
    EXPECT_EQ(r.answer(report("m", ""), true).body, "b");  // the plain side never redirects
    EXPECT_EQ(r.answer(report("j%26o", "pw"), false).body, kInvalidLoginBody);
    EXPECT_EQ(r.answer(get("/mydatamonitor/usage.txt?username=s"), false).body, kInvalidLoginBody);
    EXPECT_EQ(r.answer(get("/other"), false).head.rfind("HTTP/1.1 404", 0), 0u);
}

TEST(Responder, ServerWideSwitchesShapeTheAnswer) {
    const auto any = report("a", "b");
    Options o;
    o.behaviour.stall = true;
    EXPECT_EQ(Responder(o, {}).answer(any, false).kind, Answer::Kind::Stall);
    o.behaviour = {};
    o.behaviour.endless = true;
    const Answer endless = Responder(o, {}).answer(any, false);
    EXPECT_EQ(endless.kind, Answer::Kind::Endless);
    EXPECT_EQ(endless.head.find("Content-Length"), std::string::npos);
    o.behaviour = {};
    o.behaviour.status = 500;
    o.behaviour.bodySize = 1000;
    o.behaviour.dropAfter = 10;
    const Answer a = Responder(o, {}).answer(any, false);
    EXPECT_EQ(a.head.rfind("HTTP/1.1 500 ", 0), 0u);
    EXPECT_EQ(a.body.size(), 1000u);
    EXPECT_EQ(a.body.substr(1000 - kSampleReport.size()), kSampleReport);
    EXPECT_EQ(a.body.substr(0, 64), "filler 00000001 " + std::string(46, '.') + "\r\n");
    EXPECT_NE(a.head.find("Connection: close"), std::string::npos);
}

}  // namespace
}  // namespace reportserver
