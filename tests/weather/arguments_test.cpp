#include "weather/arguments.h"

#include <gtest/gtest.h>

namespace weather {
namespace {

struct PointCase {
    std::string argument;
    std::string error;  // empty when accepted
};

TEST(PointArgument, AcceptsDecimalPairsInsideTheContiguousUnitedStates) {
    const PointCase cases[] = {
        {"40.76,-111.89", ""},
        {" 40.7608 , -111.8910 ", ""},
        {"\t40.7608\n,\r-111.8910\f\v", ""},
        {"24,-126", ""},
        {"50.5,-66", ""},
        {"+4.076e1,-1.1189E2", ""},
        {"23.9999,-100", point_area_error},
        {"40,-65.9999", point_area_error},
        {"50.5001,-100", point_area_error},
        {"40,-126.0001", point_area_error},
        {"40.76,-111.89x", point_area_error},
        {"40.76,-111.89,5", point_area_error},
        {"40,76,-111,89", point_area_error},
        {"", point_format_error},
        {"   ", point_format_error},
        {"40.76", point_format_error},
        {"40.76,", point_format_error},
        {"40.76 -111.89", point_format_error},
        {"40.76;-111.89", point_format_error},
        {"nan,-111", point_format_error},
        {"40,inf", point_format_error},
        {"1e999,-111", point_format_error},
        {"-,-111", point_format_error},
        {",-111", point_format_error},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_point_argument(c.argument);
        EXPECT_EQ(std::string(parsed.error), c.error) << '"' << c.argument << '"';
        EXPECT_EQ(parsed.value.has_value(), c.error.empty()) << '"' << c.argument << '"';
    }
}

TEST(PointArgument, ReadsBothNumbers) {
    const auto parsed = parse_point_argument(" 40.760849 ,-111.891047");
    ASSERT_TRUE(parsed.value);
    EXPECT_DOUBLE_EQ(parsed.value->latitude, 40.760849);
    EXPECT_DOUBLE_EQ(parsed.value->longitude, -111.891047);
}

TEST(BoundsArgument, AcceptsBoxesInsideTheWesternArea) {
    const PointCase cases[] = {
        {"36,-115,38,-112", ""},
        {"31,-125,49.5,-102", ""},
        {" 36 , -115 , 38 , -112 ", ""},
        {"40,-112,40,-111", bounds_area_error},
        {"40,-111,41,-112", bounds_area_error},
        {"30.9,-112,40,-111", bounds_area_error},
        {"40,-112,41,-101.9", bounds_area_error},
        {"40,-125.1,41,-112", bounds_area_error},
        {"40,-112,49.6,-111", bounds_area_error},
        {"36,-115,38,-112 x", bounds_area_error},
        {"36 -115 38 -112", bounds_format_error},
        {"36,-115,38", bounds_format_error},
        {"   ", bounds_format_error},
        {"36,-115,nan,-112", bounds_format_error},
        {"36;-115;38;-112", bounds_format_error},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_bounds_argument(c.argument);
        EXPECT_EQ(std::string(parsed.error), c.error) << '"' << c.argument << '"';
        EXPECT_EQ(parsed.value.has_value(), c.error.empty()) << '"' << c.argument << '"';
    }
}

TEST(FourDecimals, RoundsToNearestInFixedNotation) {
    EXPECT_EQ(four_decimals(40.76), "40.7600");
    EXPECT_EQ(four_decimals(-111.89), "-111.8900");
    EXPECT_EQ(four_decimals(40.760849), "40.7608");
    EXPECT_EQ(four_decimals(-111.891047), "-111.8910");
    EXPECT_EQ(four_decimals(49.5), "49.5000");
    EXPECT_EQ(four_decimals(1e6), "1000000.0000");
}

}  // namespace
}  // namespace weather
