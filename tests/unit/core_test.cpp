// The portable core of the plug-in on one fake of all its ports. Every visible
// effect goes to one log, in order, so a case states its whole story in one string:
//   show NAME,PASSWORD / close / destroy   the settings window shown modally, closed, freed
//   save KEY=VALUE                         a write to the settings store
//   box I|W CAPTION: TEXT                  a message box (information or warning)
//   get URL                                a report fetch
//   start COMMAND STYLE                    a process started
#include <gtest/gtest.h>

#include <charconv>
#include <deque>
#include <functional>
#include <map>
#include <regex>
#include <tuple>
#include <utility>

#include "automation_error.h"
#include "plugin.h"
#include "report_text.h"

using namespace tavri;
namespace {

struct World;
struct FakeWindow;
// What the user does while the window is shown; by default they press the close box.
using Script = std::function<void(FakeWindow&)>;

struct FakeWindow : SettingsWindow {
    FakeWindow(World& world, SettingsWindowEvents& events) : w(world), events(events) {}
    ~FakeWindow() override;
    std::string accountName() const override { return name; }
    std::string password() const override { return pass; }
    void setAccountName(std::string_view text) override { name = text; }
    void setPassword(std::string_view text) override { pass = text; }
    void showModal() override;
    void close() override;

    World& w;
    SettingsWindowEvents& events;
    std::string name, pass;
};

struct World : SettingsStore,
               SettingsWindowFactory,
               MessageBoxes,
               ReportSource,
               NumberParser,
               AnsiCodec,
               ProcessStarter {
    // Stored "s"/"t"; the reports to serve and what the user does, if anything.
    World(std::deque<std::string> served = {}, Script script = nullptr)
        : bodies(served), user(script) {}
    void note(const std::string& entry) { log += (log.empty() ? "" : "; ") + entry; }

    std::string read(std::string_view key) override { return stored[std::string(key)]; }
    void write(std::string_view key, std::string_view value) override {
        note("save " + std::string(key) + "=" + std::string(value));
        if (key == failing) throw AutomationError(75, "disk full");
        stored[std::string(key)] = value;
    }
    std::unique_ptr<SettingsWindow> create(SettingsWindowEvents& events) override {
        return std::make_unique<FakeWindow>(*this, events);
    }
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        note((icon == MessageIcon::Information ? "box I " : "box W ") + std::string(caption) +
                 ": " += text);
        if (onBox) onBox();
    }
    // The bodies are served in order, the last one again and again; "!" stands
    // for a connection that fails, so the fetch throws.
    std::string getSource(const std::string& url) override {
        note("get " + url);
        if (duringGet) duringGet();
        const std::string body = bodies.empty() ? "" : bodies.front();
        if (bodies.size() > 1) bodies.pop_front();
        if (body == "!") throw std::runtime_error("connection reset");
        return body;
    }
    // Decimal digits with an optional minus sign, nothing around them, in range.
    std::int32_t parseInt32(std::string_view text) override {
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || end != text.data() + text.size()) throw error::typeMismatch();
        return n;
    }
    // The one letter beyond ASCII that the cases type, as code page 1252 has it.
    std::string toAnsi(std::string_view utf8) override {
        return report::replaceAll(utf8, "\xC3\xA9", "\xE9");
    }
    void start(std::string_view commandLine, int style) override {
        note("start " + std::string(commandLine) + " " + std::to_string(style));
        if (failing == "start") throw std::runtime_error("no browser");
    }

    std::string log;
    std::map<std::string, std::string> stored{{"username", "s"}, {"password", "t"}};
    std::deque<std::string> bodies;
    Script user;                      // for the next showing
    std::function<void()> onBox;      // runs while a message box is up
    std::function<void()> duringGet;  // runs during each fetch
    std::string failing;              // the key whose writes fail, or "start"
    SettingsForm form{{*this, *this, *this, *this}};
    PluginServices services{form, *this, *this, *this, *this, "u="};
    plugin plug{services};
};

FakeWindow::~FakeWindow() { w.note("destroy"); }
void FakeWindow::close() { w.note("close"); }
void FakeWindow::showModal() {
    w.note("show " + name + "," + pass);
    if (Script user = std::exchange(w.user, nullptr))
        user(*this);
    else
        events.onCloseBox();
}

// The outcome of a call as one string: its value ("empty", 42, 'text') or
// "error N" for an automation error.
std::string str(std::int64_t n) { return std::to_string(n); }
std::string str(const std::string& s) { return s; }
std::string str(const Value& v) {
    return v.isText() ? "'" + v.asText() + "'" : v.isEmpty() ? "empty" : v.toString();
}
template <typename Call>
std::string outcome(Call&& call) {
    try {
        return str(call());
    } catch (const AutomationError& e) {
        return "error " + std::to_string(e.number());
    }
}

// The 1-based string routines and the "amount left" arithmetic (the field cut
// is the report methods').
TEST(PureHelpers, TextAndArithmetic) {
    using namespace report;
    World w;  // for its number parser
    const auto i = [](std::int32_t n) { return Value::integer(n); };
    // clang-format off
#define ROW(call, expected) {#call, outcome([&] { return call; }), expected}
    // clang-format on
    const std::tuple<const char*, std::string, const char*> cases[] = {
        ROW(inStr(3, "abcabc", "b"), "5"),
        ROW(inStr(4, "abc", ""), "4"),
        ROW(inStr(5, "abc", ""), "0"),
        ROW(inStr(1, "", ""), "0"),
        ROW(inStr(0, "abc", "b"), "error 5"),
        ROW(mid("abcdef", 5, 10), "ef"),
        ROW(mid("abc", 4, 1), ""),
        ROW(mid("abc", 1, -1), "error 5"),
        ROW(replaceAll("key=key=5", "key=", ""), "5"),
        ROW(replaceAll("abc", "", "x"), "abc"),
        ROW(subtract(i(3000), i(3500), w), "-500"),
        ROW(subtract(Value(), i(700), w), "-700"),
        ROW(subtract(Value::text("12"), Value(), w), "12"),
        ROW(subtract(Value::text("1M"), i(1), w), "error 13"),
        ROW(subtract(i(-1), i(INT32_MAX), w), "-2147483648"),
        ROW(subtract(i(INT32_MIN), i(1), w), "error 6"),
    };
#undef ROW
    for (const auto& [call, got, expected] : cases)
        EXPECT_EQ(got, expected) << call;
}

// Initialize takes anything; the one-based publications leave their outputs
// alone outside the table and never touch the help text; the about box shows
// in any letter case, before the result is emptied.
TEST(Protocol, InitializePublicationsAbout) {
    World w;
    std::string n, h = "h", result = "x";
    std::int32_t commands = 0, tags = 0;
    EXPECT_TRUE(w.plug.Initialize(-1, "") && w.plug.GetPublishInfo(n, commands, tags));
    std::string all = n + " " + std::to_string(commands) + " " + std::to_string(tags);
    for (int index : {0, 1, 2, 3}) {
        std::string command = "n", value = "v", tag = "n", tagValue = "v";
        w.plug.GetPublishCommandInfo(index, command, value, h);
        w.plug.GetPublishTagInfo(index, tag, tagValue);
        all += "; " + command + " " + value + " " + h + ", " + tag + " " + tagValue;
    }
    EXPECT_EQ(all,
              "Tavri 2 1; n v h, n v; Settings xtavrisett h, Show Stats (!XTAVRI); "
              "About xtavriabout h, n v; n v h, n v");
    w.onBox = [&] { w.note("result " + result); };
    EXPECT_TRUE(w.plug.ParseCommand("/XtAvRiAbOuT", result) && result.empty()) << result;
    // Two lines of credits, the first with the maker's site.
    const std::regex credits(
        "box I Tavri Plugin: [^\r\n]*https://www\\.tavri\\.example/[^\r\n]*\r\n"
        "[^\r\n]+; result x");
    EXPECT_TRUE(std::regex_match(w.log, credits)) << w.log;
}

// /xtavrisett in any letter case shows the form with the stored values, and
// what the user does there follows; anything else leaves the result alone.
TEST(Protocol, SettingsCommand) {
    // The user types n and q and presses save (its write of `failing` fails).
    const auto typeAndSave = [](std::string failing) -> Script {
        return [failing](FakeWindow& f) {
            f.w.failing = failing;
            f.name = "n";
            f.pass = "q";
            f.events.onSave();
        };
    };
    const auto pressSite = [](std::string failing) -> Script {
        return [failing](FakeWindow& f) {
            f.w.failing = failing;
            f.events.onSiteButton();
            f.events.onCloseBox();
        };
    };
    const std::string unsaved = "box W Tavri Plugin: The settings could not be saved: disk full",
                      site = "start explorer https://www.tavri.example/ 2";
    const std::tuple<const char*, Script, std::string> cases[] = {
        {"/XtAvRiSeTt", nullptr, "show s,t; close; destroy; result ''"},
        {"/xtavrisett", typeAndSave(""),
         "show s,t; save username=n; save password=q; close; destroy; result ''"},
        // A failed save keeps the form open with what was typed; when only the password
        // failed, the account name goes back.
        {"/xtavrisett", typeAndSave("username"),
         "show s,t; save username=n; " + unsaved + "; result ''"},
        {"/xtavrisett", typeAndSave("password"),
         "show s,t; save username=n; save password=q; save username=s; " + unsaved + "; result ''"},
        // The site button leaves the form open, and warns when the browser cannot start.
        {"/xtavrisett", pressSite(""), "show s,t; " + site + "; close; destroy; result ''"},
        {"/xtavrisett", pressSite("start"),
         "show s,t; " + site + "; box W Tavri Plugin: The web site could not be opened: " +
             "no browser; close; destroy; result ''"},
        {"/xtavrisett ", nullptr, "not ours 'x'"},
        {"xtavrisett", nullptr, "not ours 'x'"},
        {"/xtavri", nullptr, "not ours 'x'"},
    };
    for (const auto& [typed, user, log] : cases) {
        World w{{}, user};
        std::string result = "x";
        const bool ours = w.plug.ParseCommand(typed, result);
        w.note((ours ? "result '" : "not ours '") + result + "'");
        EXPECT_EQ(w.log, log) << typed;
    }
}

// A showing that failed leaves the form free to show again; while it is shown,
// it cannot be shown again.
TEST(SettingsForm, ShowingAgain) {
    World w;
    const auto show = [&] {
        return outcome([&] {
            w.form.ShowSettings();
            return std::string("done");
        });
    };
    w.user = [](FakeWindow&) { throw AutomationError(7, "Out of memory"); };
    w.note(show());
    w.user = [&](FakeWindow& f) {
        w.note(show());
        f.events.onCloseBox();
    };
    w.note(show());
    EXPECT_EQ(w.log, "show ,; error 7; show ,; error 400; close; destroy; done");
}

// Only plan_limit prompts when it fails: the warning, then the form with the stored values.
std::string prompt(const std::string& user = "") {
    return "box W Tavri Plugin: username or password incorrect; show s,t; " + user +
           "close; destroy; ";
}

// Each method fetches afresh with what the form holds: the typed "a~"/"é&+ " go
// as ANSI bytes, everything but A-Z a-z 0-9 - . _ ~ escaped. It cuts out its
// field: figures lose every "M" and convert, the plan name gets "Upgrade" back.
TEST(ReportMethods, FiguresAndPlanName) {
    const auto usage = &plugin::usage, name = &plugin::plan_name, limit = &plugin::plan_limit;
    const std::tuple<Value (plugin::*)(), std::string, std::string> cases[] = {
        {usage, "plan_limit=9MB\nusage=1M2MB\n", "12"},
        {usage, "usage=1234", "error 5"},
        {usage, "usage=xMB", "error 13"},
        {name, "x plan_name=Aplan_name=B UpgradeUpgrade", "'AB Upgrade'"},
        {name, "plan_name=Basic", "error 5"},
        {limit, "plan_limit=3000MB", "3000"},
        {limit, "usage=1MB", prompt() + "empty"},
        {limit, "plan_limit=abcMB", prompt() + "'abcM'"},
        {limit, "!", prompt() + "empty"},
    };
    for (const auto& [method, report, expected] : cases) {
        World w{{report}};
        w.form.window().setAccountName("a~");
        w.form.window().setPassword("\xC3\xA9&+ ");
        w.note(outcome([&] { return (w.plug.*method)(); }));
        EXPECT_EQ(w.log, "get u=a~&password=%E9%26%2B%20; " + expected) << report;
    }
}

std::string report(const std::string& name, int used, int limit) {
    return "plan_name=" + name + " Upgrade\nusage=" + str(used) + "MB\nplan_limit=" + str(limit) +
           "MB\n";
}
std::string stats(std::string name, std::string used, std::string limit, std::string left) {
    const auto label = [](const char* words) { return "\x02" + std::string(words) + "\x0F "; };
    return label("Plan Name:") + name + "\r\n" + label("Amount Used:") + used + "MB\r\n" +
           label("Plan Limit:") + limit + "MB\r\n" + label("Amount Left:") + left + " MB";
}
std::string times(int n, const std::string& entry) {
    return n > 1 ? entry + "; " + times(n - 1, entry) : entry;
}

// The whole tag in any letter case: the stored credentials are loaded, then
// plan_limit and usage give the amount left, and plan_name, usage and
// plan_limit, each fetched afresh, give the text.
TEST(Tag, Scenarios) {
    const std::string good = report("Basic", 1234, 3000), stored = "get u=s&password=t",
                      empty = "get u=&password=";
    struct Case {
        const char* tag;
        std::deque<std::string> bodies;
        std::string log;
        Script user = nullptr;
        int nestAt = 0;  // the fetch during which the tag is expanded again
    } const cases[] = {
        {"(!XTAVRI) ", {}, "not ours x"},
        {"(!XTAVR)", {}, "not ours x"},
        // No usage: no text.
        {"(!XTAVRI)", {"plan_limit=3000MB"}, times(2, stored) + "; error 5"},
        // No plan limit: the prompt, then the fresh empty form's credentials find nothing.
        {"(!XTAVRI)", {"usage=100MB", ""}, stored + "; " + prompt() + empty + "; error 5"},
        // The first plan limit fails and the user saves, which discards the form: the amount
        // left is minus the usage, and the rest is fetched with the fresh empty form.
        {"(!XTAVRI)",
         {"usage=700MB", good},
         stored + "; " + prompt("save username=n; save password=q; ") + times(4, empty) + "; " +
             stats("Basic Upgrade", "1234", "3000", "-1234"),
         [](FakeWindow& f) {
             f.name = "n";
             f.pass = "q";
             f.events.onSave();
         }},
        // Each fetch reads its own report, so the right figure from each shows the order. Expanded
        // again during its third fetch: each expansion ends with its own figures.
        {"(!xTaVrI)",
         {report("", 0, 5000), report("", 1000, 0), report("", 0, 900), report("", 100, 0),
          report("In", 0, 0), report("", 200, 0), report("", 0, 900), report("Out", 0, 0),
          report("", 1200, 0), report("", 0, 6000)},
         times(8, stored) + "; " + stats("In Upgrade", "200", "900", "800") + "; " +
             times(2, stored) + "; " + stats("Out Upgrade", "1200", "6000", "4000"),
         nullptr,
         3},
        // The last plan limit fails: line three stays empty.
        {"(!XTAVRI)",
         {good, good, good, good, ""},
         times(5, stored) + "; " + prompt() + stats("Basic Upgrade", "1234", "", "1766")},
    };
    for (const Case& c : cases) {
        World w{c.bodies, c.user};
        std::string result = "x", nested;
        w.duringGet = [&, n = 0]() mutable {
            if (++n == c.nestAt && w.plug.ParseTag(c.tag, nested)) w.note(nested);
        };
        w.note(outcome(
            [&] { return w.plug.ParseTag(c.tag, result) ? result : "not ours " + result; }));
        EXPECT_EQ(w.log, c.log) << c.tag;
    }
}

}  // namespace
