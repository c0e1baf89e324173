#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "views/amount.h"
#include "views/number_format.h"

namespace tovani {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

TEST(Amount, ParsesCellTexts) {
    struct Case {
        const char* text;
        std::optional<int64_t> ticks;
    };
    const Case cases[] = {
        {"", 0},
        {"0", 0},
        {"-0", 0},
        {"1,200", 12000000},
        {"-300", -3000000},
        {"1,234,567", 12345670000},
        {"12,34", 12340000},  // every "," goes, wherever it stands
        {"308.5", 3085000},
        {"0.0001", 1},
        {"-.5", -5000},
        {"7.", 70000},
        {"-1,000.2500", -10002500},
        {"922337203685477.5807", kMax},
        {"-922337203685477.5808", kMin},
        // Not numbers.
        {",", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"1.23456", std::nullopt},
        {"1.2.3", std::nullopt},
        {"--1", std::nullopt},
        {"1-", std::nullopt},
        {"+1", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"12円", std::nullopt},
        {"abc", std::nullopt},
        {"922337203685477.5808", std::nullopt},
        {"-922337203685477.5809", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        std::optional<Amount> got = Amount::parse(c.text);
        ASSERT_EQ(got.has_value(), c.ticks.has_value());
        if (got) {
            EXPECT_EQ(got->ticks(), *c.ticks);
        }
    }
}

TEST(Amount, RoundsToWholeYenHalvesAwayFromZero) {
    struct Case {
        int64_t ticks;
        int64_t yen;
        const char* shown;
    };
    const Case cases[] = {
        {3085000, 309, "309"},
        {-3085000, -309, "-309"},
        {3084999, 308, "308"},
        {5025000, 503, "503"},
        {-4999, 0, "0"},  // never "-0"
        {-5000, -1, "-1"},
        {4999, 0, "0"},
        {12345675000, 1234568, "1,234,568"},
        {kMin, kMin / 10000 - 1, "-922,337,203,685,478"},
        {kMax, kMax / 10000 + 1, "922,337,203,685,478"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticks);
        Amount a = Amount::fromTicks(c.ticks);
        EXPECT_EQ(a.roundedYen(), c.yen);
        EXPECT_EQ(formatGrouped(a), c.shown);
    }
}

TEST(Amount, AveragesKeepFourDecimalsRoundedHalfToEven) {
    struct Case {
        int64_t ticks;
        int64_t count;
        int64_t average;
    };
    const Case cases[] = {
        {12340000, 4, 3085000},  // 1234 yen over 4: 308.5 exactly
        {30000000, 3, 10000000},
        {10000, 3, 3333},        // 0.33333..
        {20000, 3, 6667},        // 0.66666..
        {1, 2, 0},               // half a tick, to the even 0
        {3, 2, 2},               // one and a half ticks, to the even 2
        {5, 2, 2},
        {-1, 2, 0},
        {-3, 2, -2},
        {-20000, 3, -6667},
        {kMin, 1, kMin},
        {kMin, 2, kMin / 2},
        {kMax, kMax, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ticks) + " / " + std::to_string(c.count));
        std::optional<Amount> got = Amount::fromTicks(c.ticks).dividedBy(c.count);
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->ticks(), c.average);
    }
    EXPECT_FALSE(Amount::fromYen(10).dividedBy(0).has_value());
    EXPECT_FALSE(Amount::fromYen(10).dividedBy(-2).has_value());
}

TEST(Amount, SumsAreExactAndOverflowIsNeverWrapped) {
    Amount sum;
    for (int i = 0; i < 10; ++i) sum += *Amount::parse("0.1");
    EXPECT_EQ(sum, Amount::fromYen(1));
    EXPECT_EQ(Amount::fromYen(5) - Amount::fromYen(8), Amount::fromYen(-3));
    EXPECT_EQ(Amount::fromYen(2147483647).ticks(), int64_t{2147483647} * 10000);

    const Amount top = Amount::fromTicks(kMax);
    const Amount bottom = Amount::fromTicks(kMin);
    EXPECT_FALSE(top.plus(Amount::fromTicks(1)).has_value());
    EXPECT_FALSE(bottom.minus(Amount::fromTicks(1)).has_value());
    EXPECT_EQ(top + Amount::fromTicks(1), top);
    EXPECT_EQ(bottom - Amount::fromTicks(1), bottom);
    EXPECT_EQ(bottom + Amount::fromTicks(-1), bottom);
    EXPECT_EQ(top - Amount::fromTicks(-1), top);
    EXPECT_FALSE(Amount::fromYenChecked(kMax / 1000).has_value());
    EXPECT_EQ(Amount::fromYen(kMax / 1000), top);
    EXPECT_EQ(Amount::fromYen(kMin / 1000), bottom);
}

TEST(Amount, OrdersByValueNotByText) {
    // The orders a text sort gets wrong.
    EXPECT_LT(*Amount::parse("-300"), *Amount::parse(""));
    EXPECT_LT(*Amount::parse(""), *Amount::parse("1,200"));
    EXPECT_LT(*Amount::parse("9"), *Amount::parse("10"));
    EXPECT_LT(*Amount::parse("-10"), *Amount::parse("-9"));
    EXPECT_EQ(*Amount::parse("1,000"), *Amount::parse("1000.0000"));
}

}  // namespace
}  // namespace tovani
