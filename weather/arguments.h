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
ParsedArgument<Bounds> parse_bounds_argument(const std::string& argument);

// A number in fixed-point notation with four decimals, classic locale ("40.7600").
std::string four_decimals(double value);

}  // namespace weather
