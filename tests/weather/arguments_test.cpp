#include "weather/arguments.h"

#include <optional>
#include <tuple>

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

TEST(BoundsArgument, TafBoxesFollowTheSameRulesInTheirOwnWords) {
    const PointCase cases[] = {
        {"31,-125,49.5,-102", ""},
        {" 31.0001 , -124.9999 , 49.4999 , -102.0001 ", ""},
        {"30.9999,-112,40,-111", taf_bounds_area_error},
        {"40,-125.0001,41,-112", taf_bounds_area_error},
        {"40,-112,49.5001,-111", taf_bounds_area_error},
        {"40,-112,41,-101.9999", taf_bounds_area_error},
        {"40,-112,40,-111", taf_bounds_area_error},
        {"40,-111,41,-111", taf_bounds_area_error},
        {"36,-115,38,-112,", taf_bounds_area_error},
        {"36,-115,38", taf_bounds_format_error},
        {"36,-115,38,inf", taf_bounds_format_error},
        {"", taf_bounds_format_error},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_bounds_argument(c.argument, taf_bounds_texts);
        EXPECT_EQ(std::string(parsed.error), c.error) << '"' << c.argument << '"';
        EXPECT_EQ(parsed.value.has_value(), c.error.empty()) << '"' << c.argument << '"';
    }
    EXPECT_EQ(std::string(taf_bounds_format_error), "Expected TAF bounds as south,west,north,east");
    EXPECT_EQ(std::string(taf_bounds_area_error),
              "TAF bounds must be inside 31 to 49.5 N, 125 to 102 W");
}

TEST(GridCellArgument, TakesTheCellAsThePointsDocumentNamesIt) {
    struct Case {
        std::string argument;
        std::optional<std::tuple<std::string, int, int>> cell;  // nullopt when refused
    };
    using Cell = std::tuple<std::string, int, int>;
    const Case cases[] = {
        {"SLC/101,174", Cell{"SLC", 101, 174}},
        {"SLC/0,0", Cell{"SLC", 0, 0}},
        {"AAA/999,999", Cell{"AAA", 999, 999}},
        {"ZZZ/7,5", Cell{"ZZZ", 7, 5}},
        {"SLC/007,0999", Cell{"SLC", 7, 999}},
        {"SLC/1000,1", std::nullopt},
        {"SLC/1,1000", std::nullopt},
        {"SLC/99999999999999999999,1", std::nullopt},
        {"slc/1,2", std::nullopt},
        {"SLc/1,2", std::nullopt},
        {"@LC/1,2", std::nullopt},
        {"[LC/1,2", std::nullopt},
        {"SL/1,2", std::nullopt},
        {"SLCX/1,2", std::nullopt},
        {" SLC/1,2", std::nullopt},
        {"SLC /1,2", std::nullopt},
        {"SLC/ 1,2", std::nullopt},
        {"SLC/1 ,2", std::nullopt},
        {"SLC/1, 2", std::nullopt},
        {"SLC/1,2 ", std::nullopt},
        {"SLC/+1,2", std::nullopt},
        {"SLC/-1,2", std::nullopt},
        {"SLC/1,-2", std::nullopt},
        {"SLC/1.0,2", std::nullopt},
        {"SLC/1e2,2", std::nullopt},
        {"SLC/1;2", std::nullopt},
        {"SLC/1", std::nullopt},
        {"SLC/,2", std::nullopt},
        {"SLC/1,", std::nullopt},
        {"SLC/1,2,3", std::nullopt},
        {"SLC/1/2,3", std::nullopt},
        {"SLC1,2", std::nullopt},
        {"SLC,1/2", std::nullopt},
        {std::string("SLC/1,2\0", 8), std::nullopt},
        {"\xC3\x84"
         "BC/1,2",
         std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_grid_cell_argument(c.argument);
        ASSERT_EQ(parsed.value.has_value(), c.cell.has_value()) << '"' << c.argument << '"';
        if (c.cell) {
            EXPECT_EQ(Cell(parsed.value->office, parsed.value->x, parsed.value->y), *c.cell);
            EXPECT_TRUE(parsed.error.empty());
        } else {
            EXPECT_EQ(std::string(parsed.error), "Expected a forecast grid as office/x,y")
                << '"' << c.argument << '"';
        }
    }
}

TEST(OfficeArgument, IsExactlyThreeCapitalLetters) {
    const PointCase cases[] = {
        {"SLC", ""},
        {"AAA", ""},
        {"ZZZ", ""},
        {"slc", office_error},
        {"SlC", office_error},
        {"@AA", office_error},
        {"[AA", office_error},
        {"S1C", office_error},
        {"SL", office_error},
        {"SLCX", office_error},
        {" SLC", office_error},
        {"SLC ", office_error},
        {"", office_error},
        {"KSLC", office_error},
        {"\xC3\x84"
         "BC",
         office_error},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_office_argument(c.argument);
        EXPECT_EQ(std::string(parsed.error), c.error) << '"' << c.argument << '"';
        EXPECT_EQ(parsed.value.has_value(), c.error.empty()) << '"' << c.argument << '"';
        if (parsed.value) {
            EXPECT_EQ(*parsed.value, c.argument);
        }
    }
    EXPECT_EQ(std::string(office_error), "Expected a forecast office as three letters");
}

TEST(ZoneArgument, IsATypeAndAZoneIdAsAlertsNameThem) {
    const PointCase cases[] = {
        {"forecast/UTZ110", ""},
        {"fire/UTZ478", ""},
        {"county/UTC035", ""},
        {"county/MTC029", ""},
        {"forecast/AAZ000", ""},
        {"fire/ZZC999", ""},
        {"forecast/UTZ11", zone_error},
        {"forecast/UTZ1100", zone_error},
        {"forecast/UTX110", zone_error},
        {"forecast/UTz110", zone_error},
        {"forecast/utZ110", zone_error},
        {"forecast/U1Z110", zone_error},
        {"forecast/UTZ11A", zone_error},
        {"forecast/UTZ 110", zone_error},
        {"forecast/ UTZ110", zone_error},
        {"forecast/UTZ110 ", zone_error},
        {"forecast//UTZ110", zone_error},
        {"forecast/UTZ110/", zone_error},
        {"forecast/../UTZ110", zone_error},
        {"Forecast/UTZ110", zone_error},
        {"public/UTZ110", zone_error},
        {"forecasts/UTZ110", zone_error},
        {"/UTZ110", zone_error},
        {"UTZ110", zone_error},
        {"forecast/", zone_error},
        {"forecast", zone_error},
        {"", zone_error},
        {"forecast/UTZ110?x=1", zone_error},
        {"forecast/UTZ11\xD9\xA0", zone_error},  // an Arabic-Indic zero
        {"https://api.weather.gov/zones/forecast/UTZ110", zone_error},
    };
    for (const auto& c : cases) {
        const auto parsed = parse_zone_argument(c.argument);
        EXPECT_EQ(std::string(parsed.error), c.error) << '"' << c.argument << '"';
        EXPECT_EQ(parsed.value.has_value(), c.error.empty()) << '"' << c.argument << '"';
        if (parsed.value) {
            EXPECT_EQ(*parsed.value, c.argument);
        }
    }
    EXPECT_EQ(std::string(zone_error),
              "Expected a zone as type/ID, such as forecast/UTZ110, fire/UTZ110 or county/UTC035");
}

TEST(BoundsText, WritesFourDecimalsSouthWestNorthEast) {
    EXPECT_EQ(bounds_text(Bounds{36, -115, 38, -112}), "36.0000,-115.0000,38.0000,-112.0000");
    EXPECT_EQ(bounds_text(Bounds{31.00005, -124.99994, 49.5, -102}),
              "31.0001,-124.9999,49.5000,-102.0000");
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
