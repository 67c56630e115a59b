// The stand-in spinner's value rules and the centring rule of the core library.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "spinner_value.h"
#include "window_placement.h"

namespace {

constexpr int INT_LOW = std::numeric_limits<int>::min();
constexpr int INT_HIGH = std::numeric_limits<int>::max();

TEST(SpinnerValue, TypedTextIsAWholeNumberOrNothing)
{
    EXPECT_EQ(ParseWholeNumber("300"), 300);
    EXPECT_EQ(ParseWholeNumber("  -7\t"), -7);
    EXPECT_EQ(ParseWholeNumber("+12"), 12);
    EXPECT_EQ(ParseWholeNumber("007"), 7);
    for (const char* text : {"", "   ", "-", "+", "abc", "12abc", "1 2", "3.5", "1e3", "0x10", "--1"})
        EXPECT_EQ(ParseWholeNumber(text), std::nullopt) << '"' << text << '"';
    // Far past the int range the value saturates instead of wrapping round.
    const auto huge = ParseWholeNumber("99999999999999999999999999");
    ASSERT_TRUE(huge.has_value());
    EXPECT_GT(*huge, static_cast<long long>(INT_HIGH));
    const auto hugeNegative = ParseWholeNumber("-99999999999999999999999999");
    ASSERT_TRUE(hugeNegative.has_value());
    EXPECT_LT(*hugeNegative, static_cast<long long>(INT_LOW));
}

TEST(SpinnerValue, ValuesStayWithinTheLimitsHoweverTheyArrive)
{
    const SpinnerLimits material{1, 8};
    EXPECT_EQ(ClampToLimits(0, material), 1);
    EXPECT_EQ(ClampToLimits(9, material), 8);
    EXPECT_EQ(ClampToLimits(5, material), 5);
    EXPECT_EQ(ClampToLimits(*ParseWholeNumber("70000"), {1, 65535}), 65535);
    EXPECT_EQ(ClampToLimits(*ParseWholeNumber("99999999999999999999"), {1, 65535}), 65535);
    EXPECT_EQ(ClampToLimits(*ParseWholeNumber("-99999999999999999999"), {1, 65535}), 1);

    EXPECT_EQ(SteppedValue(8, 1, 1, material), 8);
    EXPECT_EQ(SteppedValue(1, -1, 1, material), 1);
    EXPECT_EQ(SteppedValue(3, 2, 2, material), 7);
    // Long drags and wide steps at the ends of the int range neither overflow nor wrap.
    EXPECT_EQ(SteppedValue(INT_HIGH, 1, INT_HIGH, {INT_LOW, INT_HIGH}), INT_HIGH);
    EXPECT_EQ(SteppedValue(INT_LOW, -1, INT_HIGH, {INT_LOW, INT_HIGH}), INT_LOW);
    EXPECT_EQ(SteppedValue(0, std::numeric_limits<long long>::max(), INT_HIGH, {INT_LOW, INT_HIGH}),
              INT_HIGH);

    const SpinnerLimits reversed = OrderedLimits(8, 1);
    EXPECT_EQ(reversed.minimum, 1);
    EXPECT_EQ(reversed.maximum, 8);
}

TEST(SpinnerValue, FloatsRoundToTheNearestWholeNumberAndSaturate)
{
    EXPECT_EQ(RoundToWhole(2.4f), 2);
    EXPECT_EQ(RoundToWhole(2.5f), 3);
    EXPECT_EQ(RoundToWhole(-2.5f), -3);
    EXPECT_EQ(RoundToWhole(1e20f), INT_HIGH);
    EXPECT_EQ(RoundToWhole(-1e20f), INT_LOW);
    EXPECT_EQ(RoundToWhole(INFINITY), INT_HIGH);
    EXPECT_EQ(RoundToWhole(NAN), 0);
}

TEST(WindowPlacement, CentresOverTheOtherWindowAndStaysOnTheWorkArea)
{
    const PlacementRect screen{0, 0, 1280, 994};
    const PlacementRect dialog{0, 0, 290, 250};
    // Centred exactly where there is room.
    const PlacementPoint centred = CentredPosition(dialog, {240, 160, 960, 720}, screen);
    EXPECT_EQ(centred.x, 240 + (720 - 290) / 2);
    EXPECT_EQ(centred.y, 160 + (560 - 250) / 2);
    // Over the work area itself when there is nothing else to centre over.
    const PlacementPoint onScreen = CentredPosition({100, 100, 390, 350}, screen, screen);
    EXPECT_EQ(onScreen.x, (1280 - 290) / 2);
    EXPECT_EQ(onScreen.y, (994 - 250) / 2);
    // Over a small window at the screen's corner: moved back inside.
    const PlacementPoint corner = CentredPosition(dialog, {-50, -40, 50, 40}, screen);
    EXPECT_EQ(corner.x, 0);
    EXPECT_EQ(corner.y, 0);
    const PlacementPoint farCorner = CentredPosition(dialog, {1250, 960, 1400, 1100}, screen);
    EXPECT_EQ(farCorner.x, 1280 - 290);
    EXPECT_EQ(farCorner.y, 994 - 250);
    // Larger than the work area: its top-left corner stays reachable.
    const PlacementPoint large = CentredPosition({0, 0, 2000, 1500}, {0, 0, 100, 100}, {10, 20, 1290, 1014});
    EXPECT_EQ(large.x, 10);
    EXPECT_EQ(large.y, 20);
}

} // namespace
