#include <gtest/gtest.h>

#include "fakes.h"

namespace tavri::testing {
namespace {

using ::testing::ElementsAre;

std::string fullReport(const std::string& name, int used, int limit) {
    return "plan_name=" + name + " Upgrade\nusage=" + std::to_string(used) +
           "MB\nplan_limit=" + std::to_string(limit) + "MB\n";
}

std::string statistics(const std::string& name, const std::string& used,
                       const std::string& limit, const std::string& left) {
    return "\x02Plan Name:\x0F " + name + "\r\n\x02" "Amount Used:\x0F " + used + "MB\r\n\x02" +
           "Plan Limit:\x0F " + limit + "MB\r\n\x02" "Amount Left:\x0F " + left + " MB";
}

TEST(ParseTag, WorkedExample) {
    Rig rig;
    rig.storeCredentials("gina", "pw");
    rig.reports.fallback = fullReport("Basic 10GB", 1234, 3000);
    std::string result = "(!XTAVRI)";
    ASSERT_TRUE(rig.plug.ParseTag("(!XTAVRI)", result));
    EXPECT_EQ(result,
              "\x02Plan Name:\x0F Basic 10GB Upgrade\r\n"
              "\x02" "Amount Used:\x0F 1234MB\r\n"
              "\x02Plan Limit:\x0F 3000MB\r\n"
              "\x02" "Amount Left:\x0F 1766 MB");
    EXPECT_EQ(rig.plug.amountLeft(), "1766");
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.windows.created, 1);
    EXPECT_FALSE(rig.windows.last->shown);
}

TEST(ParseTag, FiveFetchesInOrderEachUsingItsOwnReport) {
    Rig rig;
    rig.storeCredentials("gina", "pw");
    rig.form.window().setAccountName("unsaved");  // replaced by the stored values first
    rig.reports.bodies = {fullReport("ignored", 9, 5000),  // plan_limit: 5000
                          fullReport("ignored", 1000, 9),  // usage: 1000 -> left 4000
                          fullReport("Gold", 9, 9),        // plan_name
                          fullReport("ignored", 1200, 9),  // usage
                          fullReport("ignored", 9, 6000)}; // plan_limit
    std::string result;
    ASSERT_TRUE(rig.plug.ParseTag("(!xtavri)", result));
    EXPECT_EQ(result, statistics("Gold Upgrade", "1200", "6000", "4000"));
    const std::string url = rig.urlFor("gina", "pw");
    EXPECT_THAT(rig.reports.urls, ElementsAre(url, url, url, url, url));
    EXPECT_EQ(rig.plug.lastReport(), fullReport("ignored", 9, 6000));
}

TEST(ParseTag, AmountLeftMayBeNegative) {
    Rig rig;
    rig.reports.fallback = fullReport("Basic", 3500, 3000);
    std::string result;
    ASSERT_TRUE(rig.plug.ParseTag("(!XTAVRI)", result));
    EXPECT_EQ(result, statistics("Basic Upgrade", "3500", "3000", "-500"));
}

TEST(ParseTag, RecognisedInAnyCaseOnlyAsTheWholeTag) {
    for (const char* tag : {"(!XTAVRI)", "(!xtavri)", "(!XtAvRi)"}) {
        Rig rig;
        rig.reports.fallback = fullReport("Basic", 1, 2);
        std::string result;
        EXPECT_TRUE(rig.plug.ParseTag(tag, result)) << tag;
    }
    for (const char* tag : {"(!XTAVRI) ", " (!XTAVRI)", "XTAVRI", "(XTAVRI)", "(!XTAVR)", ""}) {
        Rig rig;
        std::string result = "untouched";
        EXPECT_FALSE(rig.plug.ParseTag(tag, result)) << '"' << tag << '"';
        EXPECT_EQ(result, "untouched");
        EXPECT_TRUE(rig.reports.urls.empty());
        EXPECT_EQ(rig.windows.created, 0);
    }
}

TEST(ParseTag, NoPlanLimitPromptsThenFailsOnceTheEmptyCredentialsFindNoUsage) {
    Rig rig;
    rig.storeCredentials("hana", "pw");
    rig.reports.bodies = {"usage=100MB"};  // then "" for the empty credentials
    rig.windows.scripts.push_back(closeBox());
    std::string result = "untouched";
    EXPECT_EQ(errorNumberOf([&] { rig.plug.ParseTag("(!XTAVRI)", result); }), 5);
    EXPECT_EQ(result, "untouched");
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, "username or password incorrect");
    EXPECT_THAT(rig.reports.urls, ElementsAre(rig.urlFor("hana", "pw"), rig.urlFor("", "")));
    EXPECT_EQ(rig.plug.amountLeft(), "");
}

TEST(ParseTag, FirstPlanLimitFailingLeavesMinusTheUsage) {
    Rig rig;
    rig.reports.bodies = {"usage=700MB"};  // first plan_limit finds no figure
    rig.reports.fallback = fullReport("Basic", 700, 3000);
    rig.windows.scripts.push_back(typeAndSave("new", "newpw"));
    std::string result;
    ASSERT_TRUE(rig.plug.ParseTag("(!XTAVRI)", result));
    EXPECT_EQ(result, statistics("Basic Upgrade", "700", "3000", "-700"));
    EXPECT_EQ(rig.messages.shown.size(), 1u);
    // The saved form was discarded: the calls after it ask with empty fields.
    EXPECT_EQ(rig.reports.urls.size(), 5u);
    EXPECT_EQ(rig.reports.urls[1], rig.urlFor("", ""));
    EXPECT_EQ(rig.store.values["username"], "new");
}

TEST(ParseTag, LastPlanLimitFailingLeavesLineThreeEmptyOrUnconverted) {
    const std::string good = fullReport("Basic", 1234, 3000);
    struct Case {
        const char* lastReport;
        const char* line3;
    };
    for (const Case& c : {Case{"", ""}, Case{"plan_limit=lotsMB", "lotsM"}}) {
        Rig rig;
        rig.reports.bodies = {good, good, good, good, c.lastReport};
        rig.windows.scripts.push_back(closeBox());
        std::string result;
        ASSERT_TRUE(rig.plug.ParseTag("(!XTAVRI)", result)) << c.lastReport;
        EXPECT_EQ(result, statistics("Basic Upgrade", "1234", c.line3, "1766"));
        EXPECT_EQ(rig.messages.shown.size(), 1u);
    }
}

TEST(ParseTag, FailuresOfUsageOrPlanNameEndItUntouched) {
    const std::string good = fullReport("Basic", 1234, 3000);
    for (const auto& bodies : {std::deque<std::string>{good, "plan_limit=3000MB"},
                               std::deque<std::string>{good, good, "plan_name=no end"},
                               std::deque<std::string>{good, good, good, "usage=xMB"}}) {
        Rig rig;
        rig.reports.bodies = bodies;
        std::string result = "untouched";
        EXPECT_NE(errorNumberOf([&] { rig.plug.ParseTag("(!XTAVRI)", result); }), 0);
        EXPECT_EQ(result, "untouched");
        EXPECT_EQ(rig.reports.urls.size(), bodies.size()) << "nothing is fetched after the failure";
        EXPECT_TRUE(rig.messages.shown.empty());
    }
}

TEST(ParseTag, TextPlanLimitMakesTheSubtractionATypeMismatch) {
    Rig rig;
    rig.reports.bodies = {"plan_limit=abcMB usage=5MB"};
    rig.reports.fallback = fullReport("Basic", 5, 10);
    rig.windows.scripts.push_back(closeBox());
    std::string result = "untouched";
    EXPECT_EQ(errorNumberOf([&] { rig.plug.ParseTag("(!XTAVRI)", result); }), 13);
    EXPECT_EQ(result, "untouched");
    EXPECT_EQ(rig.reports.urls.size(), 2u);
    EXPECT_EQ(rig.messages.shown.size(), 1u);
}

TEST(ParseTag, NestedInTheOpenFormItReloadsAndFailsToShowItAgain) {
    Rig rig;
    rig.storeCredentials("stored", "storedpw");
    rig.reports.fallback = "usage=5MB";  // no plan limit
    std::int32_t nested = 0;
    std::string nestedResult = "untouched";
    std::string fieldsAfter;
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        window.type("unsaved", "unsaved");
        nested = errorNumberOf([&] { rig.plug.ParseTag("(!XTAVRI)", nestedResult); });
        fieldsAfter = window.accountName() + "|" + window.password();
        events.onCloseBox();
    });
    std::string result;
    ASSERT_TRUE(rig.plug.ParseCommand("/xtavrisett", result));
    EXPECT_EQ(nested, 400);
    EXPECT_EQ(nestedResult, "untouched");
    EXPECT_EQ(fieldsAfter, "stored|storedpw");
    EXPECT_THAT(rig.reports.urls, ElementsAre(rig.urlFor("stored", "storedpw")));
}

}  // namespace
}  // namespace tavri::testing
