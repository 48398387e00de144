#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "accounts.h"
#include "options.h"

namespace reportserver {
namespace {

TEST(Accounts, ParsesInlineAndFileBodiesSkippingComments) {
    const auto dir = std::filesystem::temp_directory_path() / "reportserver-accounts-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "body.txt", std::ios::binary) << "usage=1MB\r\n";
    const auto accounts = parseAccounts(
        "# comment\n\nalice\tpw\tusage=5MB\\r\\nplan_limit=7MB\r\n"
        "b\\x26b\ta\\tb\\\\\t@body.txt\n",
        dir);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].username, "alice");
    EXPECT_EQ(accounts[0].body, "usage=5MB\r\nplan_limit=7MB");
    EXPECT_EQ(accounts[1].username, "b&b");
    EXPECT_EQ(accounts[1].password, "a\tb\\");
    EXPECT_EQ(accounts[1].body, "usage=1MB\r\n");
    std::filesystem::remove_all(dir);
}

TEST(Accounts, NamesTheBrokenLine) {
    try {
        parseAccounts("ok\tpw\tbody\nonly-two\tfields\n", ".");
        FAIL() << "no error";
    } catch (const AccountsError& e) {
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
    EXPECT_THROW(parseAccounts("u\tp\tbad\\q\n", "."), AccountsError);
    EXPECT_THROW(parseAccounts("u\tp\t\\x4\n", "."), AccountsError);
    EXPECT_THROW(parseAccounts("u\tp\t@no-such-file\n", "/nonexistent"), AccountsError);
}

TEST(Options, ReadsSwitchesAndRejectsBadOnes) {
    const auto o = parseOptions({"--cert", "c", "--key", "k", "--port", "0", "--body-size", "100K",
                                 "--delay-ms", "5", "--stall", "--redirect-http", "http://h/x"});
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.bodySize, 100 * 1024);
    EXPECT_EQ(o.delayMs, 5);
    EXPECT_TRUE(o.stall);
    EXPECT_EQ(parseSize("8M"), 8 * 1024 * 1024);
    EXPECT_THROW(parseOptions({"--cert", "c"}), UsageError);
    EXPECT_THROW(parseOptions({"--cert", "c", "--key", "k", "--port"}), UsageError);
    EXPECT_THROW(parseOptions({"--cert", "c", "--key", "k", "--port", "70000"}), UsageError);
    EXPECT_THROW(parseOptions({"--cert", "c", "--key", "k", "--delay-ms", "-1"}), UsageError);
    EXPECT_THROW(parseOptions({"--cert", "c", "--key", "k", "--redirect-http", "https://x"}), UsageError);
    EXPECT_THROW(parseOptions({"--cert", "c", "--key", "k", "--bogus"}), UsageError);
}

}  // namespace
}  // namespace reportserver
