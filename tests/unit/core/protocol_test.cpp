#include <gtest/gtest.h>

#include "fakes.h"

namespace tavri::testing {
namespace {

TEST(Protocol, InitializeAcceptsAnythingAndKeepsNothing) {
    Rig rig;
    EXPECT_TRUE(rig.plug.Initialize(0, ""));
    EXPECT_TRUE(rig.plug.Initialize(-1, "someone@example.com"));
    EXPECT_TRUE(rig.plug.Initialize(2147483647, std::string(5000, 'x')));
    EXPECT_EQ(rig.plug.accountName(), "");
    EXPECT_EQ(rig.plug.amountLeft(), "");
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_TRUE(rig.reports.urls.empty());
}

TEST(Protocol, PublishesNameTwoCommandsAndOneTag) {
    Rig rig;
    std::string name = "old";
    std::int32_t commands = -7, tags = -7;
    EXPECT_TRUE(rig.plug.GetPublishInfo(name, commands, tags));
    EXPECT_EQ(name, "Tavri");
    EXPECT_EQ(commands, 2);
    EXPECT_EQ(tags, 1);
}

TEST(Protocol, CommandTableIsOneBasedAndNeverTouchesHelp) {
    Rig rig;
    std::string name = "n", value = "v", help = "h";
    rig.plug.GetPublishCommandInfo(1, name, value, help);
    EXPECT_EQ(name, "Settings");
    EXPECT_EQ(value, "xtavrisett");
    EXPECT_EQ(help, "h");
    rig.plug.GetPublishCommandInfo(2, name, value, help);
    EXPECT_EQ(name, "About");
    EXPECT_EQ(value, "xtavriabout");
    EXPECT_EQ(help, "h");

    for (const std::int32_t outside : {0, 3, -1, 2147483647}) {
        std::string n = "n", v = "v", h = "h";
        rig.plug.GetPublishCommandInfo(outside, n, v, h);
        EXPECT_EQ(n, "n") << outside;
        EXPECT_EQ(v, "v") << outside;
        EXPECT_EQ(h, "h") << outside;
    }
}

TEST(Protocol, TagTableHasOneEntry) {
    Rig rig;
    std::string name, value;
    rig.plug.GetPublishTagInfo(1, name, value);
    EXPECT_EQ(name, "Show Stats");
    EXPECT_EQ(value, "(!XTAVRI)");
    for (const std::int32_t outside : {0, 2, -1}) {
        std::string n = "n", v = "v";
        rig.plug.GetPublishTagInfo(outside, n, v);
        EXPECT_EQ(n, "n");
        EXPECT_EQ(v, "v");
    }
}

TEST(ParseCommand, AboutShowsCreditsInAnyCaseAndEmptiesResult) {
    for (const char* typed : {"/xtavriabout", "/XTAVRIABOUT", "/xTavriAbouT"}) {
        Rig rig;
        std::string result = "previous text";
        EXPECT_TRUE(rig.plug.ParseCommand(typed, result)) << typed;
        EXPECT_EQ(result, "");
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        const ShownMessage& box = rig.messages.shown[0];
        EXPECT_EQ(box.caption, "Tavri Plugin");
        EXPECT_EQ(box.icon, MessageIcon::Information);
        const auto lineBreak = box.text.find("\r\n");
        ASSERT_NE(lineBreak, std::string::npos);
        EXPECT_EQ(box.text.find('\n', lineBreak + 2), std::string::npos) << "two lines only";
        EXPECT_NE(box.text.substr(0, lineBreak).find(kMakerSiteUrl), std::string::npos)
            << "the credit line names the web site";
        EXPECT_GT(box.text.size(), lineBreak + 2) << "a line of thanks follows";
        EXPECT_EQ(rig.windows.created, 0);
    }
}

TEST(ParseCommand, AboutResultIsSetOnlyAfterTheBoxIsDismissed) {
    Rig rig;
    std::string result = "before";
    std::string seenWhileOpen;
    rig.messages.onShow = [&] { seenWhileOpen = result; };
    EXPECT_TRUE(rig.plug.ParseCommand("/xtavriabout", result));
    EXPECT_EQ(seenWhileOpen, "before");
    EXPECT_EQ(result, "");
}

TEST(ParseCommand, SettingsLoadsStoredValuesThenShowsTheForm) {
    for (const char* typed : {"/xtavrisett", "/XTAVRISETT", "/XtAvRiSeTt"}) {
        Rig rig;
        rig.storeCredentials("alice", "pw");
        rig.form.window().setAccountName("unsaved edit");
        std::string result = "x";
        std::string seenAccount, seenPassword, resultWhileOpen;
        rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
            seenAccount = window.accountName();
            seenPassword = window.password();
            resultWhileOpen = result;
            events.onCloseBox();
        });
        EXPECT_TRUE(rig.plug.ParseCommand(typed, result)) << typed;
        EXPECT_EQ(result, "");
        EXPECT_EQ(resultWhileOpen, "x") << "the call waits for the form";
        EXPECT_EQ(seenAccount, "alice");
        EXPECT_EQ(seenPassword, "pw");
        EXPECT_EQ(rig.windows.created, 1) << "the existing form is the one shown";
        EXPECT_TRUE(rig.store.writes.empty());
        EXPECT_TRUE(rig.messages.shown.empty());
    }
}

TEST(ParseCommand, SettingsWithNothingStoredShowsEmptyFields) {
    Rig rig;
    std::string seen = "?";
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        seen = window.accountName() + "|" + window.password();
        events.onCloseBox();
    });
    std::string result;
    EXPECT_TRUE(rig.plug.ParseCommand("/xtavrisett", result));
    EXPECT_EQ(seen, "|");
}

TEST(ParseCommand, OtherTextIsNotACommandAndChangesNothing) {
    for (const char* typed : {"xtavrisett", "/xtavrisett ", " /xtavrisett", "xtavriabout",
                              "/xtavriabout ", "/xtavri", "/xtavrisettings", "", "/",
                              "\\xtavrisett"}) {
        Rig rig;
        std::string result = "untouched";
        EXPECT_FALSE(rig.plug.ParseCommand(typed, result)) << '"' << typed << '"';
        EXPECT_EQ(result, "untouched");
        EXPECT_TRUE(rig.messages.shown.empty());
        EXPECT_EQ(rig.windows.created, 0);
    }
}

TEST(ParseCommand, ShowingTheFormAgainWhileItIsOpenFails) {
    Rig rig;
    std::int32_t nestedError = 0;
    std::string nestedResult = "nested";
    rig.windows.scripts.push_back([&](FakeWindow&, SettingsWindowEvents& events) {
        nestedError = errorNumberOf([&] { rig.plug.ParseCommand("/xtavrisett", nestedResult); });
        events.onCloseBox();
    });
    std::string result = "outer";
    EXPECT_TRUE(rig.plug.ParseCommand("/xtavrisett", result));
    EXPECT_EQ(nestedError, 400);
    EXPECT_EQ(nestedResult, "nested");
    EXPECT_EQ(result, "");
}

}  // namespace
}  // namespace tavri::testing
