// The pure helpers: the 1-based string routines, the field cut out of a
// report, and the value arithmetic behind "amount left".
#include <limits>

#include "fakes.h"
#include "report_text.h"

namespace tavri::testing {
namespace {

using namespace report;
constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

std::string str(std::int64_t n) { return std::to_string(n); }
std::string str(std::string s) { return s; }
#define ROW(call, expected) {#call, [] { return str(call); }, expected}

TEST(TextRoutines, InStrMidReplaceAll) {
    struct Case {
        const char* call;
        std::string (*run)();
        const char* expected;
    } const cases[] = {
        ROW(inStr(1, "abcabc", "b"), "2"),  ROW(inStr(3, "abcabc", "b"), "5"),
        ROW(inStr(6, "abcabc", "c"), "6"),  ROW(inStr(1, "abcabc", "x"), "0"),
        ROW(inStr(1, "abcabc", "bcab"), "2"), ROW(inStr(1, "ab", "abc"), "0"),
        ROW(inStr(1, "", "a"), "0"),        ROW(inStr(1, "", ""), "0"),
        ROW(inStr(2, "abc", ""), "2"),      ROW(inStr(4, "abc", ""), "4"),
        ROW(inStr(5, "abc", ""), "0"),      ROW(inStr(9, "abc", "c"), "0"),
        ROW(inStr(0, "abc", "b"), "error 5"), ROW(inStr(-3, "", ""), "error 5"),
        ROW(mid("abcdef", 2, 3), "bcd"),    ROW(mid("abcdef", 5, 10), "ef"),
        ROW(mid("abcdef", 6, 1), "f"),      ROW(mid("abcdef", 7, 1), ""),
        ROW(mid("abcdef", 3, 0), ""),       ROW(mid("", 1, 4), ""),
        ROW(mid("abc", 0, 1), "error 5"),   ROW(mid("abc", 1, -1), "error 5"),
        ROW(replaceAll("1M2MM3", "M", ""), "123"), ROW(replaceAll("aaa", "aa", ""), "a"),
        ROW(replaceAll("key=key=5", "key=", ""), "5"), ROW(replaceAll("abc", "", "x"), "abc"),
        ROW(replaceAll("", "M", ""), ""),   ROW(replaceAll("a-b", "-", "+-+"), "a+-+b"),
    };
    for (const Case& c : cases) EXPECT_EQ(outcome(c.run), c.expected) << c.call;
}

// Cut from the first key to the first end marker at or after it; the key is
// then removed wherever it occurs in the cut.
TEST(TextRoutines, FieldExtraction) {
    const std::string far = std::string(70000, 'x') + "\nusage=42MB\n";
    struct Case {
        std::string report, key, marker, cut, extracted;  // cut "error 5": extraction fails
    } const cases[] = {
        {"usage=1234MB", "usage=", "B", "usage=1234M", "1234M"},
        {"x\nusage= 1234 MB\ny", "usage=", "B", "usage= 1234 M", " 1234 M"},
        {"B usage=12MB", "usage=", "B", "usage=12M", "12M"},
        {"usage=B1234MB", "usage=", "B", "usage=", ""},
        {"usage=1MB usage=2MB", "usage=", "B", "usage=1M", "1M"},
        {"usage=usage=7MB", "usage=", "B", "usage=usage=7M", "7M"},
        {far, "usage=", "B", "usage=42M", "42M"},
        {"plan_limit=3000MB\r\nusage=12MB\r\n", "usage=", "B", "usage=12M", "12M"},
        {"plan_limit=3000MB\rusage=12MB\r", "usage=", "B", "usage=12M", "12M"},
        {"plan_name=Basic 10GB Upgrade", "plan_name=", "Upgrade", "plan_name=Basic 10GB ", "Basic 10GB "},
        {"plan_name=Basic\r\nUpgrade", "plan_name=", "Upgrade", "plan_name=Basic\r\n", "Basic\r\n"},
        {"plan_name=Xplan_name=Y Upgrade", "plan_name=", "Upgrade", "plan_name=Xplan_name=Y ", "XY "},
        {"plan_name=Upgrade", "plan_name=", "Upgrade", "plan_name=", ""},
        {"plan_name=Caf\xC3\xA9 Upgrade", "plan_name=", "Upgrade", "plan_name=Caf\xC3\xA9 ", "Caf\xC3\xA9 "},
        {"", "usage=", "B", "error 5", ""},
        {"plan_limit=3000MB", "usage=", "B", "error 5", ""},
        {"usage=1234", "usage=", "B", "error 5", ""},
        {"MB usage=1234", "usage=", "B", "error 5", ""},
        {"usage 12MB", "usage=", "B", "error 5", ""},
        {"Usage=12MB", "usage=", "B", "error 5", ""},
        {"plan_name=Basic upgrade", "plan_name=", "Upgrade", "error 5", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report.substr(0, 40) + " key " + c.key + " marker " + c.marker);
        EXPECT_EQ(outcome([&] { return cutField(c.report, c.key, c.marker); }), c.cut);
        EXPECT_EQ(outcome([&] { return extractField(c.report, c.key, c.marker); }),
                  c.cut == "error 5" ? c.cut : c.extracted);
    }
}

TEST(Values, TextAndSubtraction) {
    World w;
    const Value e, t12 = Value::text(" 12 ");
    auto i = [](std::int32_t n) { return Value::integer(n); };
    auto t = [](const char* s) { return Value::text(s); };
    EXPECT_EQ(e.toString(), "");
    EXPECT_EQ(i(kMin).toString(), "-2147483648");
    EXPECT_EQ(t12.toString(), " 12 ");
    struct Case {
        Value a, b;
        std::string difference;
    } const cases[] = {
        {i(3000), i(1234), "1766"}, {i(3000), i(3500), "-500"}, {e, i(700), "-700"},
        {i(5), e, "5"},             {e, e, "0"},                {t12, i(2), "10"},
        {t("abcM"), i(1), "error 13"}, {i(1), t("12M"), "error 13"}, {t(""), i(1), "error 13"},
        {i(kMin), i(1), "error 6"}, {i(kMax), i(-1), "error 6"}, {t("99999999999"), e, "error 6"},
        {i(kMax), i(kMax), "0"},    {i(-1), i(kMax), "-2147483648"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outcome([&] { return subtract(c.a, c.b, w); }), c.difference)
            << describe(c.a) << " - " << describe(c.b);
    }
}

}  // namespace
}  // namespace tavri::testing
