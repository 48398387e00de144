// Class plugin on fakes: the host protocol, the report methods, the request
// URL and the statistics tag. Each case states the whole log of its call.
#include <gmock/gmock.h>

#include <limits>

#include "fakes.h"

namespace tavri::testing {
namespace {

constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

std::string times(int n, const std::string& entry) {
    std::string out;
    while (n-- > 0) out += entry;
    return out;
}
std::string report(const std::string& name, int used, int limit) {
    return "plan_name=" + name + " Upgrade\nusage=" + std::to_string(used) + "MB\nplan_limit=" +
           std::to_string(limit) + "MB\n";
}
std::string stats(const std::string& name, const std::string& used, const std::string& limit,
                  const std::string& left) {
    return "\x02Plan Name:\x0F " + name + "\r\n\x02" "Amount Used:\x0F " + used + "MB\r\n\x02" +
           "Plan Limit:\x0F " + limit + "MB\r\n\x02" "Amount Left:\x0F " + left + " MB";
}

// Stored: "s"/"t". The form already exists, holding "a"/"p" typed but not saved.
void prepare(World& w) {
    w.stored = {{"username", "s"}, {"password", "t"}};
    w.form.window().setAccountName("a");
    w.form.window().setPassword("p");
}
const std::string kTyped = "; get a&password=p", kStored = "; get s&password=t",
                  kEmpty = "; get &password=",
                  kPrompt = "; box W Tavri Plugin: username or password incorrect; show s,t; close; end; destroy";

TEST(Protocol, InitializePublishInfoUninitialize) {
    World w;
    EXPECT_TRUE(w.plug.Initialize(0, ""));
    EXPECT_TRUE(w.plug.Initialize(-1, "someone@example.com"));
    EXPECT_TRUE(w.plug.Initialize(kMax, std::string(5000, 'x')));
    w.plug.Uninitialize();
    std::string name = "old";
    std::int32_t commands = -7, tags = -7;
    EXPECT_TRUE(w.plug.GetPublishInfo(name, commands, tags));
    EXPECT_EQ(name + " " + std::to_string(commands) + " " + std::to_string(tags), "Tavri 2 1");
    EXPECT_EQ(w.log, "") << "nothing created, shown or fetched";
}

// One-based tables; an index outside leaves the outputs alone; help is never set.
TEST(Protocol, Publications) {
    struct Case {
        bool tag;
        std::int32_t index;
        const char* published;
    } const cases[] = {
        {false, 1, "Settings xtavrisett h"}, {false, 2, "About xtavriabout h"}, {false, 0, "n v h"},
        {false, 3, "n v h"}, {false, -1, "n v h"}, {false, kMax, "n v h"},
        {true, 1, "Show Stats (!XTAVRI)"}, {true, 0, "n v"}, {true, 2, "n v"}, {true, -1, "n v"},
    };
    World w;
    for (const Case& c : cases) {
        std::string n = "n", v = "v", h = "h";
        if (c.tag) w.plug.GetPublishTagInfo(c.index, n, v);
        else w.plug.GetPublishCommandInfo(c.index, n, v, h);
        EXPECT_EQ(n + " " + v + (c.tag ? "" : " " + h), c.published) << c.index;
    }
}

// The log is a regular expression here: the credits box is checked for its shape.
TEST(Protocol, Commands) {
    const std::string about = "create; box I Tavri Plugin: [^\r\n]*https://www\\.tavri\\.example/"
                              "[^\r\n]*\r\n[^\r\n]+; result=x";
    const std::string settings = "create; show s,t; result=x; close; end; destroy";
    struct Case {
        const char* typed;
        std::string log;  // "create" alone: not a command, result left alone
    } const cases[] = {
        {"/xtavriabout", about}, {"/XTAVRIABOUT", about}, {"/xTavriAbouT", about},
        {"/xtavrisett", settings}, {"/XTAVRISETT", settings}, {"/XtAvRiSeTt", settings},
        {"xtavrisett", "create"}, {"/xtavrisett ", "create"}, {" /xtavrisett", "create"},
        {"xtavriabout", "create"}, {"/xtavriabout ", "create"}, {"/xtavri", "create"},
        {"/xtavrisettings", "create"}, {"", "create"}, {"/", "create"}, {"\\xtavrisett", "create"},
    };
    for (const Case& c : cases) {
        World w;
        prepare(w);
        std::string result = "x";
        w.whileOpen = [&] { w.note("result=" + result); };
        const bool handled = w.plug.ParseCommand(c.typed, result);
        EXPECT_EQ(handled, c.log != "create") << c.typed;
        EXPECT_EQ(result, handled ? "" : "x") << c.typed;
        EXPECT_THAT(w.log, ::testing::MatchesRegex(c.log)) << c.typed;
    }
}

// Figures are integers (every "M" dropped, blanks allowed), the plan name is
// text; only plan_limit prompts for the credentials when it fails.
TEST(ReportMethods, FiguresAndPlanName) {
    const auto usage = &plugin::usage, name = &plugin::plan_name, limit = &plugin::plan_limit;
    struct Case {
        Value (plugin::*method)();
        std::string report, value;
        bool prompts = false;
    } const cases[] = {
        {usage, "usage=1234MB", "1234"}, {usage, "usage= 1234 MB", "1234"},
        {usage, "plan_limit=9MB\nusage=0042MB\n", "42"}, {usage, "usage=-3MB", "-3"},
        {usage, "usage=1M2M3MB", "123"}, {usage, "usage=2147483647MB", "2147483647"},
        {usage, "", "error 5"}, {usage, "plan_limit=3000MB", "error 5"}, {usage, "usage=1234", "error 5"},
        {usage, "usage=B1234MB", "error 13"}, {usage, "usage=12a4MB", "error 13"},
        {usage, "usage=MB", "error 13"}, {usage, "usage=2147483648MB", "error 6"},
        {name, "plan_name=Basic 10GB Upgrade\n", "'Basic 10GB Upgrade'"},
        {name, "plan_name=Upgrade", "'Upgrade'"}, {name, "plan_name= 42 Upgrade", "' 42 Upgrade'"},
        {name, "x plan_name=Gold MB UpgradeUpgrade", "'Gold MB Upgrade'"},
        {name, "plan_name=Xplan_name=Y Upgrade", "'XY Upgrade'"},
        {name, "plan_name=Basic", "error 5"}, {name, "Upgrade plan_name=Basic", "error 5"},
        {limit, "plan_limit= 3000 MB", "3000"},
        {limit, "", "empty", true}, {limit, "usage=1MB", "empty", true},
        {limit, "plan_limit=3000", "empty", true}, {limit, "plan_limit 3000MB", "empty", true},
        {limit, "plan_limit=abcMB", "'abcM'", true}, {limit, "plan_limit=B3000MB", "''", true},
        {limit, "plan_limit=99999999999MB", "'99999999999M'", true},
        {limit, "fetch throws", "empty", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        World w;
        prepare(w);
        w.fallback = c.report;
        w.failFetch = c.report == "fetch throws";
        EXPECT_EQ(outcome([&] { return (w.plug.*c.method)(); }), c.value);
        EXPECT_EQ(w.log, "create" + kTyped + (c.prompts ? kPrompt : ""));
        EXPECT_EQ(w.plug.lastReport(), w.failFetch ? "" : c.report) << "kept as fetched";
    }
}

// The credentials go as the system's ANSI bytes, everything but A-Z a-z 0-9 - . _ ~ escaped.
TEST(ReportMethods, RequestUrl) {
    struct Case {
        const char *name, *password, *query;
    } const cases[] = {
        {"john.smith_99-x~", "Secret42", "john.smith_99-x~&password=Secret42"},
        {"", "", "&password="},
        {"a&b=c d", "p%+#", "a%26b%3Dc%20d&password=p%25%2B%23"},
        {"me&password=x", "p w", "me%26password%3Dx&password=p%20w"},
        {"/?\\\"'", "\t", "%2F%3F%5C%22%27&password=%09"},
        {"caf\xC3\xA9", "\xC3\xBF\xC3\x80", "caf%E9&password=%FF%C0"},
    };
    for (const Case& c : cases) {
        World w;
        w.fallback = "usage=1MB";
        w.form.window().setAccountName(c.name);
        w.form.window().setPassword(c.password);
        w.plug.usage();
        EXPECT_EQ(w.log, "create; get " + std::string(c.query));
        EXPECT_EQ(w.plug.accountName() + "|" + w.plug.password(), c.name + std::string("|") + c.password)
            << "the members keep the text as typed";
    }
}

TEST(Tag, OnlyTheWholeTagInAnyCase) {
    struct Case {
        const char* tag;
        bool ours;
    } const cases[] = {
        {"(!XTAVRI)", true}, {"(!xtavri)", true}, {"(!XtAvRi)", true}, {"(!XTAVRI) ", false},
        {" (!XTAVRI)", false}, {"XTAVRI", false}, {"(XTAVRI)", false}, {"(!XTAVR)", false},
        {"(!XTAVRIX)", false}, {"(!XOTHER)", false}, {"", false},
    };
    for (const Case& c : cases) {
        World w;
        w.fallback = report("Basic", 1, 2);
        std::string result = "untouched";
        EXPECT_EQ(w.plug.ParseTag(c.tag, result), c.ours) << '"' << c.tag << '"';
        EXPECT_EQ(result, c.ours ? stats("Basic Upgrade", "1", "2", "1") : "untouched") << c.tag;
        EXPECT_EQ(w.log, c.ours ? "create" + times(5, kEmpty) : "") << c.tag;
    }
}

// The tag: stored credentials loaded, then plan_limit, usage (amount left),
// plan_name, usage and plan_limit, each fetching afresh.
TEST(Tag, Scenarios) {
    const std::string good = report("Basic", 1234, 3000);
    struct Case {
        const char* name;
        std::deque<std::string> bodies;
        std::string fallback, result, log;
        Script user = nullptr;
    } const cases[] = {
        {"worked example", {}, report("Basic 10GB", 1234, 3000),
         "\x02Plan Name:\x0F Basic 10GB Upgrade\r\n\x02" "Amount Used:\x0F 1234MB\r\n"
         "\x02Plan Limit:\x0F 3000MB\r\n\x02" "Amount Left:\x0F 1766 MB",
         "create" + times(5, kStored)},
        {"each call reads its own report, in order",
         {report("x", 9, 5000), report("x", 1000, 9), report("Gold", 9, 9), report("x", 1200, 9),
          report("x", 9, 6000)},
         "", stats("Gold Upgrade", "1200", "6000", "4000"), "create" + times(5, kStored)},
        {"amount left below zero", {}, report("Basic", 3500, 3000),
         stats("Basic Upgrade", "3500", "3000", "-500"), "create" + times(5, kStored)},
        {"no usage", {}, "plan_limit=3000MB", "error 5", "create" + times(2, kStored)},
        {"no plan limit: prompt, then the empty credentials find nothing", {"usage=100MB"}, "",
         "error 5", "create" + kStored + kPrompt + "; create" + kEmpty},
        {"first plan limit fails: minus the usage", {"usage=700MB"}, report("Basic", 700, 3000),
         stats("Basic Upgrade", "700", "3000", "-700"),
         "create" + kStored + "; box W Tavri Plugin: username or password incorrect; show s,t; "
         "save username=n; save password=q; close; end; destroy; create" + times(4, kEmpty),
         [](FakeWindow& f) { f.type("n", "q"), f.events.onSave(); }},
        {"last plan limit fails: line three empty", {good, good, good, good, ""}, "",
         stats("Basic Upgrade", "1234", "", "1766"), "create" + times(5, kStored) + kPrompt},
        {"last plan limit unconverted: shown as text", {good, good, good, good, "plan_limit=lotsMB"},
         "", stats("Basic Upgrade", "1234", "lotsM", "1766"), "create" + times(5, kStored) + kPrompt},
        {"first plan limit unconverted: type mismatch", {"plan_limit=abcMB usage=5MB"}, good,
         "error 13", "create" + kStored + kPrompt + "; create" + kEmpty},
        {"plan name fails", {good, good, "plan_name=no end"}, "", "error 5", "create" + times(3, kStored)},
        {"second usage fails", {good, good, good, "usage=xMB"}, "", "error 13", "create" + times(4, kStored)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World w;
        prepare(w);
        w.bodies = c.bodies;
        w.fallback = c.fallback;
        if (c.user) w.scripts.push_back(c.user);
        std::string result = "untouched";
        const std::string out = outcome([&] {
            EXPECT_TRUE(w.plug.ParseTag("(!XTAVRI)", result));
            return result;
        });
        EXPECT_EQ(out, c.result);
        EXPECT_EQ(w.log, c.log);
        EXPECT_EQ(result, out.starts_with("error") ? "untouched" : out);
    }
}

// Calls made while the settings form is open (shown by /xtavrisett, with
// "u"/"v" typed): a report method reads the typed text, the tag replaces
// it with the stored values, and whatever needs to show the form fails.
TEST(Tag, NestedInTheOpenForm) {
    struct Case {
        const char* call;
        std::string fallback, log;
    } const cases[] = {
        {"usage", "usage=5MB", "get u&password=v; nested 5; fields u,v"},
        {"tag", report("B", 1, 2), times(5, kStored).substr(2) + "; nested done; fields s,t"},
        {"tag", "usage=5MB", kStored.substr(2) + "; box W Tavri Plugin: username or password "
                "incorrect; nested error 400; fields s,t"},
        {"plan_limit", "nothing", "get u&password=v; box W Tavri Plugin: username or password "
                       "incorrect; nested error 400; fields s,t"},
        {"/xtavrisett", "", "nested error 400; fields s,t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        World w;
        prepare(w);
        w.fallback = c.fallback;
        std::string result = "untouched";
        w.scripts.push_back([&](FakeWindow& f) {
            f.type("u", "v");
            const std::string call = c.call;
            w.note("nested " + outcome([&] {
                if (call == "usage") return w.plug.usage().toString();
                if (call == "plan_limit") return w.plug.plan_limit().toString();
                if (call == "tag") w.plug.ParseTag("(!XTAVRI)", result);
                else w.plug.ParseCommand(call, result);
                return std::string(result == "untouched" ? "untouched" : "done");
            }));
            w.note("fields " + f.fields());
            f.events.onCloseBox();
        });
        EXPECT_TRUE(w.plug.ParseCommand("/xtavrisett", result));
        EXPECT_EQ(w.log, "create; show s,t; " + c.log + "; close; end; destroy");
    }
}

}  // namespace
}  // namespace tavri::testing
