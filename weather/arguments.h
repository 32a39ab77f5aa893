#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace weather {

inline constexpr char point_format_error[] = "Expected point coordinates as latitude,longitude";
inline constexpr char point_area_error[] = "Select a point in the contiguous United States";
inline constexpr char bounds_format_error[] = "Expected METAR bounds as south,west,north,east";
inline constexpr char bounds_area_error[] =
    "METAR bounds must be inside 31 to 49.5 N, 125 to 102 W";
inline constexpr char taf_bounds_format_error[] = "Expected TAF bounds as south,west,north,east";
inline constexpr char taf_bounds_area_error[] =
    "TAF bounds must be inside 31 to 49.5 N, 125 to 102 W";
inline constexpr char grid_cell_error[] = "Expected a forecast grid as office/x,y";
inline constexpr char office_error[] = "Expected a forecast office as three letters";
inline constexpr char winds_bulletin_error[] = "Expected a winds bulletin as 06, 12, 24 or high";
inline constexpr char zone_error[] =
    "Expected a zone as type/ID, such as forecast/UTZ110, fire/UTZ110 or county/UTC035";

struct Coordinates {
    double latitude = 0;
    double longitude = 0;
};

struct Bounds {
    double south = 0;
    double west = 0;
    double north = 0;
    double east = 0;
};

// The two refusals of a box argument, worded for the product asked for.
struct BoundsTexts {
    std::string_view format_error;
    std::string_view area_error;
};
inline constexpr BoundsTexts metar_bounds_texts{bounds_format_error, bounds_area_error};
inline constexpr BoundsTexts taf_bounds_texts{taf_bounds_format_error, taf_bounds_area_error};

// A forecast grid cell as the points document names it ("SLC", 101, 174).
struct GridCell {
    std::string office;
    int x = 0;
    int y = 0;
};

// Either the value read from a request argument or the refusal text for it.
template <typename T>
struct ParsedArgument {
    std::optional<T> value;
    std::string_view error;
};

// "latitude,longitude" inside latitude 24..50.5 and longitude -126..-66 (bounds inclusive).
// Numbers are read as a classic-locale character stream; blanks are allowed around them.
ParsedArgument<Coordinates> parse_point_argument(const std::string& argument);

// "south,west,north,east" inside 31..49.5 N and 125..102 W, with south < north and west < east.
ParsedArgument<Bounds> parse_bounds_argument(const std::string& argument,
                                             const BoundsTexts& texts = metar_bounds_texts);

// The box as the services take it: "south,west,north,east", four decimals each.
std::string bounds_text(const Bounds& box);

// "OFFICE/X,Y": three ASCII capital letters, "/", and two unsigned decimal integers of at most
// 999 separated by ","; no blanks or signs anywhere.
ParsedArgument<GridCell> parse_grid_cell_argument(const std::string& argument);

// Exactly three ASCII capital letters.
ParsedArgument<std::string> parse_office_argument(const std::string& argument);

// "TYPE/ID" as an alert's zone links name a zone: TYPE "forecast", "fire" or "county", ID two
// ASCII capital letters, "Z" or "C" and three ASCII digits. The value is the argument itself.
ParsedArgument<std::string> parse_zone_argument(const std::string& argument);

// A number in fixed-point notation with four decimals, classic locale ("40.7600").
std::string four_decimals(double value);

}  // namespace weather
