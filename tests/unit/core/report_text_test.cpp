#include "report_text.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace tavri::testing {
namespace {

using report::cutField;
using report::extractField;
using report::inStr;
using report::mid;
using report::replaceAll;

TEST(InStr, FindsOneBasedPositionsFromStart) {
    EXPECT_EQ(inStr(1, "abcabc", "b"), 2);
    EXPECT_EQ(inStr(3, "abcabc", "b"), 5);
    EXPECT_EQ(inStr(6, "abcabc", "c"), 6);
    EXPECT_EQ(inStr(1, "abcabc", "x"), 0);
    EXPECT_EQ(inStr(1, "abcabc", "bcab"), 2);
    EXPECT_EQ(inStr(1, "ab", "abc"), 0);
}

TEST(InStr, EmptyTextsAndStartsPastTheEnd) {
    EXPECT_EQ(inStr(1, "", "a"), 0);
    EXPECT_EQ(inStr(1, "", ""), 0);
    EXPECT_EQ(inStr(2, "abc", ""), 2);
    EXPECT_EQ(inStr(4, "abc", ""), 4);  // just past the end still finds ""
    EXPECT_EQ(inStr(5, "abc", ""), 0);
    EXPECT_EQ(inStr(9, "abc", "c"), 0);
}

TEST(InStr, StartBelowOneIsInvalidCall) {
    EXPECT_EQ(errorNumberOf([] { inStr(0, "abc", "b"); }), 5);
    EXPECT_EQ(errorNumberOf([] { inStr(-3, "", ""); }), 5);
}

TEST(Mid, CutsWithinAndClampsAtTheEnd) {
    EXPECT_EQ(mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(mid("abcdef", 7, 1), "");
    EXPECT_EQ(mid("abcdef", 3, 0), "");
    EXPECT_EQ(mid("", 1, 4), "");
}

TEST(Mid, BadStartOrNegativeLengthIsInvalidCall) {
    EXPECT_EQ(errorNumberOf([] { mid("abc", 0, 1); }), 5);
    EXPECT_EQ(errorNumberOf([] { mid("abc", 1, -1); }), 5);
}

TEST(ReplaceAll, RemovesNonOverlappingOccurrencesLeftToRight) {
    EXPECT_EQ(replaceAll("1M2MM3", "M", ""), "123");
    EXPECT_EQ(replaceAll("aaa", "aa", ""), "a");
    EXPECT_EQ(replaceAll("key=key=5", "key=", ""), "5");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(replaceAll("", "M", ""), "");
    EXPECT_EQ(replaceAll("a-b", "-", "+-+"), "a+-+b");
}

struct CutCase {
    const char* report;
    const char* key;
    const char* marker;
    const char* cut;        // nullptr: invalid call expected
    const char* extracted;
};

// Readable failure output: the report and what is cut out of it.
void PrintTo(const CutCase& c, std::ostream* out) {
    *out << "report \"" << c.report << "\" key \"" << c.key << "\" marker \"" << c.marker << '"';
}

class CutField : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutField, CutsFromKeyToMarker) {
    const CutCase& c = GetParam();
    if (!c.cut) {
        EXPECT_EQ(errorNumberOf([&] { cutField(c.report, c.key, c.marker); }), 5);
        EXPECT_EQ(errorNumberOf([&] { extractField(c.report, c.key, c.marker); }), 5);
        return;
    }
    EXPECT_EQ(cutField(c.report, c.key, c.marker), c.cut);
    EXPECT_EQ(extractField(c.report, c.key, c.marker), c.extracted);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, CutField,
    ::testing::Values(
        CutCase{"usage=1234MB", "usage=", "B", "usage=1234M", "1234M"},
        CutCase{"x\nusage= 1234 MB\ny", "usage=", "B", "usage= 1234 M", " 1234 M"},
        CutCase{"B usage=12MB", "usage=", "B", "usage=12M", "12M"},         // earlier marker ignored
        CutCase{"usage=B1234MB", "usage=", "B", "usage=", ""},              // marker before digits
        CutCase{"usage=usage=7MB", "usage=", "B", "usage=usage=7M", "7M"},  // key repeated
        CutCase{"plan_name=Basic 10GB Upgrade", "plan_name=", "Upgrade", "plan_name=Basic 10GB ",
                "Basic 10GB "},
        CutCase{"plan_name=Upgrade", "plan_name=", "Upgrade", "plan_name=", ""},
        CutCase{"plan_name=Caf\xC3\xA9 Upgrade", "plan_name=", "Upgrade",
                "plan_name=Caf\xC3\xA9 ", "Caf\xC3\xA9 "},
        CutCase{"", "usage=", "B", nullptr, nullptr},                 // empty report
        CutCase{"plan_limit=3000MB", "usage=", "B", nullptr, nullptr},  // no key
        CutCase{"usage=1234", "usage=", "B", nullptr, nullptr},       // no marker
        CutCase{"MB usage=1234", "usage=", "B", nullptr, nullptr},    // marker only before key
        CutCase{"Usage=12MB", "usage=", "B", nullptr, nullptr},       // case-sensitive key
        CutCase{"plan_name=Basic upgrade", "plan_name=", "Upgrade", nullptr, nullptr}),
    [](const ::testing::TestParamInfo<CutCase>& info) { return "case" + std::to_string(info.index); });

}  // namespace
}  // namespace tavri::testing
