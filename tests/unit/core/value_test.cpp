#include "value.h"

#include <gtest/gtest.h>

#include <limits>

#include "fakes.h"

namespace tavri::testing {
namespace {

constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

TEST(Value, WritesItselfAsText) {
    EXPECT_EQ(Value().toString(), "");
    EXPECT_EQ(Value::integer(0).toString(), "0");
    EXPECT_EQ(Value::integer(-500).toString(), "-500");
    EXPECT_EQ(Value::integer(kMin).toString(), "-2147483648");
    EXPECT_EQ(Value::text(" 12M ").toString(), " 12M ");
}

TEST(Subtract, EmptyCountsAsZeroAndNumericTextConverts) {
    FakeNumbers numbers;
    EXPECT_EQ(subtract(Value::integer(3000), Value::integer(1234), numbers), Value::integer(1766));
    EXPECT_EQ(subtract(Value::integer(3000), Value::integer(3500), numbers), Value::integer(-500));
    EXPECT_EQ(subtract(Value(), Value::integer(700), numbers), Value::integer(-700));
    EXPECT_EQ(subtract(Value::integer(5), Value(), numbers), Value::integer(5));
    EXPECT_EQ(subtract(Value(), Value(), numbers), Value::integer(0));
    EXPECT_EQ(subtract(Value::text(" 12 "), Value::integer(2), numbers), Value::integer(10));
}

TEST(Subtract, TextThatIsNoNumberIsTypeMismatch) {
    FakeNumbers numbers;
    EXPECT_EQ(errorNumberOf([&] { subtract(Value::text("abcM"), Value::integer(1), numbers); }), 13);
    EXPECT_EQ(errorNumberOf([&] { subtract(Value::integer(1), Value::text("12M"), numbers); }), 13);
    EXPECT_EQ(errorNumberOf([&] { subtract(Value::text(""), Value::integer(1), numbers); }), 13);
}

TEST(Subtract, ResultsBeyondThirtyTwoBitsOverflow) {
    FakeNumbers numbers;
    EXPECT_EQ(errorNumberOf([&] { subtract(Value::integer(kMin), Value::integer(1), numbers); }), 6);
    EXPECT_EQ(errorNumberOf([&] { subtract(Value::integer(kMax), Value::integer(-1), numbers); }), 6);
    EXPECT_EQ(errorNumberOf([&] { subtract(Value::text("99999999999"), Value(), numbers); }), 6);
    EXPECT_EQ(subtract(Value::integer(kMax), Value::integer(kMax), numbers), Value::integer(0));
    EXPECT_EQ(subtract(Value::integer(-1), Value::integer(kMax), numbers), Value::integer(kMin));
}

}  // namespace
}  // namespace tavri::testing
