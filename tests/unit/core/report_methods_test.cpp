#include <gtest/gtest.h>

#include "fakes.h"

namespace tavri::testing {
namespace {

using ::testing::ElementsAre;

TEST(Usage, ReadsMegabytesAfterItsKey) {
    struct Case {
        const char* report;
        std::int32_t megabytes;
    };
    for (const Case& c : {Case{"usage=1234MB", 1234}, Case{"usage= 1234 MB", 1234},
                          Case{"plan_limit=9MB\nusage=0042MB\n", 42}, Case{"usage=-3MB", -3},
                          Case{"usage=1M2M3MB", 123}, Case{"usage=2147483647MB", 2147483647}}) {
        Rig rig;
        rig.reports.fallback = c.report;
        EXPECT_EQ(rig.plug.usage(), Value::integer(c.megabytes)) << c.report;
        EXPECT_EQ(rig.plug.lastReport(), c.report);
        EXPECT_TRUE(rig.messages.shown.empty());
    }
}

TEST(Usage, BadReportsFailWithoutShowingAnything) {
    struct Case {
        const char* report;
        std::int32_t error;
    };
    for (const Case& c : {Case{"", 5}, Case{"plan_limit=3000MB", 5}, Case{"usage=1234", 5},
                          Case{"usage=B1234MB", 13}, Case{"usage=12a4MB", 13}, Case{"usage=MB", 13},
                          Case{"usage=99999999999MB", 6}, Case{"usage=2147483648MB", 6}}) {
        Rig rig;
        rig.reports.fallback = c.report;
        EXPECT_EQ(errorNumberOf([&] { rig.plug.usage(); }), c.error) << c.report;
        EXPECT_EQ(rig.plug.lastReport(), c.report) << "members keep what was written";
        EXPECT_TRUE(rig.messages.shown.empty());
        EXPECT_EQ(rig.windows.created, 1) << "the form is only referenced, never shown";
        EXPECT_FALSE(rig.windows.last->shown);
    }
}

TEST(PlanName, KeepsTextUpToUpgradeAndAppendsIt) {
    Rig rig;
    rig.reports.bodies = {"plan_name=Basic 10GB Upgrade\n", "plan_name=Upgrade",
                          "x plan_name=Gold MB UpgradeUpgrade"};
    EXPECT_EQ(rig.plug.plan_name(), Value::text("Basic 10GB Upgrade"));
    EXPECT_EQ(rig.plug.plan_name(), Value::text("Upgrade"));
    EXPECT_EQ(rig.plug.plan_name(), Value::text("Gold MB Upgrade"));
}

TEST(PlanName, MissingKeyOrUpgradeFails) {
    Rig rig;
    rig.reports.bodies = {"plan_name=Basic", "Upgrade plan_name=Basic", "planname=Basic Upgrade", ""};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(errorNumberOf([&] { rig.plug.plan_name(); }), 5) << i;
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(Report, EveryCallReadsTheFormAndFetchesAfresh) {
    Rig rig;
    rig.reports.fallback = "usage=1MB plan_limit=2MB plan_name=P Upgrade";
    rig.form.window().setAccountName("erin");
    rig.form.window().setPassword("pw1");
    rig.plug.usage();
    rig.form.window().setPassword("pw2");
    rig.plug.plan_limit();
    rig.plug.plan_name();
    EXPECT_THAT(rig.reports.urls, ElementsAre(rig.urlFor("erin", "pw1"), rig.urlFor("erin", "pw2"),
                                              rig.urlFor("erin", "pw2")));
    EXPECT_EQ(rig.plug.accountName(), "erin");
    EXPECT_EQ(rig.plug.password(), "pw2");
}

TEST(Report, CredentialsAreSentAsAnsiBytesWithQuerySyntaxEscaped) {
    Rig rig;
    rig.reports.fallback = "usage=1MB";
    rig.form.window().setAccountName("a&b=c d");
    rig.form.window().setPassword("p%+#\xC3\xA9");  // "é" is 0xE9 in the fake code page
    rig.plug.usage();
    EXPECT_THAT(rig.reports.urls,
                ElementsAre(rig.urlFor("a%26b%3Dc%20d", "p%25%2B%23%E9")));
    EXPECT_EQ(rig.plug.password(), "p%+#\xC3\xA9") << "the member keeps the text as typed";
}

TEST(Report, DirectCallAfterTheFormClosedSeesEmptyFields) {
    Rig rig;
    rig.storeCredentials("frank", "pw");
    rig.form.LoadSettings();
    rig.windows.scripts.push_back(closeBox());
    rig.form.ShowSettings();
    rig.reports.fallback = "usage=5MB";
    EXPECT_EQ(rig.plug.usage(), Value::integer(5));
    EXPECT_THAT(rig.reports.urls, ElementsAre(rig.urlFor("", "")));
    EXPECT_FALSE(rig.windows.last->shown) << "the recreated form stays hidden";
}

TEST(Report, CallNestedInTheOpenFormReadsWhatTheUserTyped) {
    Rig rig;
    rig.reports.fallback = "usage=5MB";
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        window.type("typing", "now");
        EXPECT_EQ(rig.plug.usage(), Value::integer(5));
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    EXPECT_THAT(rig.reports.urls, ElementsAre(rig.urlFor("typing", "now")));
}

TEST(PlanLimit, ReturnsTheFigureWithoutAnyPrompt) {
    Rig rig;
    rig.reports.fallback = "plan_limit= 3000 MB";
    EXPECT_EQ(rig.plug.plan_limit(), Value::integer(3000));
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_FALSE(rig.windows.last->shown);
}

// On failure: the warning, then the stored credentials loaded, then the form.
struct FailureTrace {
    std::vector<std::string> steps;
};

void expectWarningThenForm(Rig& rig, const FailureTrace& trace) {
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, "username or password incorrect");
    EXPECT_EQ(rig.messages.shown[0].caption, "Tavri Plugin");
    EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_THAT(trace.steps, ElementsAre("warning", "form shown with stored|storedpw"));
}

Rig& prepareFailure(Rig& rig, FailureTrace& trace) {
    rig.storeCredentials("stored", "storedpw");
    rig.messages.onShow = [&] { trace.steps.push_back("warning"); };
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        trace.steps.push_back("form shown with " + window.accountName() + "|" + window.password());
        events.onCloseBox();
    });
    return rig;
}

TEST(PlanLimit, MissingFigureWarnsShowsTheFormAndReturnsEmpty) {
    for (const char* report : {"", "usage=1MB", "plan_limit=3000", "plan_limit 3000MB"}) {
        Rig rig;
        FailureTrace trace;
        prepareFailure(rig, trace);
        rig.reports.fallback = report;
        const Value result = rig.plug.plan_limit();
        EXPECT_TRUE(result.isEmpty()) << report;
        expectWarningThenForm(rig, trace);
        EXPECT_FALSE(rig.form.isLoaded()) << "closing the form discarded it";
    }
}

TEST(PlanLimit, FailedConversionReturnsTheTextWithItsMs) {
    struct Case {
        const char* report;
        const char* partial;
    };
    for (const Case& c : {Case{"plan_limit=abcMB", "abcM"}, Case{"plan_limit=B3000MB", ""},
                          Case{"plan_limit=99999999999MB", "99999999999M"},
                          Case{"plan_limit=1 2MB", "1 2M"}}) {
        Rig rig;
        FailureTrace trace;
        prepareFailure(rig, trace);
        rig.reports.fallback = c.report;
        EXPECT_EQ(rig.plug.plan_limit(), Value::text(c.partial)) << c.report;
        expectWarningThenForm(rig, trace);
    }
}

TEST(PlanLimit, AnyFailureOfTheFetchIsCaughtToo) {
    Rig rig;
    FailureTrace trace;
    prepareFailure(rig, trace);
    rig.reports.failWith = [] { throw std::runtime_error("connection reset"); };
    EXPECT_TRUE(rig.plug.plan_limit().isEmpty());
    expectWarningThenForm(rig, trace);
}

TEST(PlanLimit, ErrorsOfItsOwnHandlerReachTheCaller) {
    Rig rig;
    rig.storeCredentials("stored", "storedpw");
    rig.reports.fallback = "no figures";
    std::int32_t nested = 0;
    std::string fieldsAfter;
    rig.windows.scripts.push_back([&](FakeWindow& window, SettingsWindowEvents& events) {
        window.type("typing", "typing");
        nested = errorNumberOf([&] { rig.plug.plan_limit(); });
        fieldsAfter = window.accountName() + "|" + window.password();
        events.onCloseBox();
    });
    rig.form.ShowSettings();
    EXPECT_EQ(nested, 400) << "the form was already shown modally";
    EXPECT_EQ(fieldsAfter, "stored|storedpw") << "the handler reloaded the stored values";
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, "username or password incorrect");
}

}  // namespace
}  // namespace tavri::testing
