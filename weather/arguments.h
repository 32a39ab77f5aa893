#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace weather {

// The western box every area request stays inside, as the services take it:
// south,west,north,east. Its numbers, the default requests and the texts naming it are all read
// from this one literal while compiling.
inline constexpr char western_box[] = "31,-125,49.5,-102";

// A text joined from pieces while compiling, zero-terminated.
template <std::size_t Capacity>
struct JoinedText {
    char text[Capacity]{};
};

template <std::size_t Capacity>
consteval JoinedText<Capacity> join_text(std::initializer_list<std::string_view> pieces) {
    JoinedText<Capacity> joined;
    std::size_t length = 0;
    for (const std::string_view piece : pieces) {
        for (const char c : piece) {
            joined.text[length++] = c;  // too small a capacity fails to compile
        }
    }
    joined.text[length] = '\0';
    return joined;
}

// Field `index` of the box (0 south, 1 west, 2 north, 3 east), without its sign if asked. Read by
// index rather than with string_view::find: with the undefined-behaviour sanitizer g++ cannot
// evaluate find's pointer test while compiling.
consteval std::string_view western_box_field(std::size_t index, bool without_sign = false) {
    std::size_t begin = 0;
    for (std::size_t at = 0; index > 0; ++at) {
        if (western_box[at] == ',') {
            --index;
            begin = at + 1;
        }
    }
    std::size_t end = begin;
    while (western_box[end] != ',' && western_box[end] != '\0') {
        ++end;
    }
    if (without_sign && western_box[begin] == '-') {
        ++begin;
    }
    return {western_box + begin, end - begin};
}

consteval double western_box_number(std::size_t index) {
    const std::string_view field = western_box_field(index, true);
    double value = 0;
    double scale = 0;  // 0 before the decimal point
    for (const char c : field) {
        if (c == '.') {
            scale = 1;
        } else {
            value = value * 10 + (c - '0');
            scale *= 10;
        }
    }
    value = scale > 0 ? value / scale : value;
    return western_box_field(index).starts_with('-') ? -value : value;
}

// "31 to 49.5 N, 125 to 102 W"
inline constexpr auto western_box_area =
    join_text<48>({western_box_field(0), " to ", western_box_field(2), " N, ",
                   western_box_field(1, true), " to ", western_box_field(3, true), " W"});

inline constexpr char point_format_error[] = "Expected point coordinates as latitude,longitude";
inline constexpr char point_area_error[] = "Select a point in the contiguous United States";
inline constexpr char bounds_format_error[] = "Expected METAR bounds as south,west,north,east";
inline constexpr auto bounds_area_error_text =
    join_text<96>({"METAR bounds must be inside ", western_box_area.text});
inline constexpr const char* bounds_area_error = bounds_area_error_text.text;
inline constexpr char taf_bounds_format_error[] = "Expected TAF bounds as south,west,north,east";
inline constexpr auto taf_bounds_area_error_text =
    join_text<96>({"TAF bounds must be inside ", western_box_area.text});
inline constexpr const char* taf_bounds_area_error = taf_bounds_area_error_text.text;
inline constexpr char grid_cell_error[] = "Expected a forecast grid as office/x,y";
inline constexpr char office_error[] = "Expected a forecast office as three letters";
inline constexpr char outlook_error[] = "Expected an outlook as HWO/OFFICE or FWF/OFFICE";
inline constexpr char zone_error[] =
    "Expected a zone as type/ID, such as forecast/UTZ110, fire/UTZ110 or county/UTC035";
inline constexpr char winds_bulletin_error[] = "Expected a winds bulletin as 06, 12, 24 or high";

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

// "south,west,north,east" inside the western box, with south < north and west < east.
ParsedArgument<Bounds> parse_bounds_argument(const std::string& argument,
                                             const BoundsTexts& texts = metar_bounds_texts);

// The box as the services take it: "south,west,north,east", four decimals each.
std::string bounds_text(const Bounds& box);

// "OFFICE/X,Y": three ASCII capital letters, "/", and two unsigned decimal integers of at most
// 999 separated by ","; no blanks or signs anywhere.
ParsedArgument<GridCell> parse_grid_cell_argument(const std::string& argument);

// Exactly three ASCII capital letters.
ParsedArgument<std::string> parse_office_argument(const std::string& argument);

// An office's text product: its type and the office's three letters.
struct OfficeProduct {
    std::string type;
    std::string office;
};

// "TYPE/OFFICE": "HWO" (Hazardous Weather Outlook) or "FWF" (Fire Weather Planning Forecast),
// "/", and three ASCII capital letters; nothing else.
ParsedArgument<OfficeProduct> parse_outlook_argument(const std::string& argument);

// "TYPE/ID" as an alert's zone links name a zone: TYPE "forecast", "fire" or "county", ID two
// ASCII capital letters, "Z" or "C" and three ASCII digits. The value is the argument itself.
ParsedArgument<std::string> parse_zone_argument(const std::string& argument);

// A number in fixed-point notation with four decimals, classic locale ("40.7600").
std::string four_decimals(double value);

}  // namespace weather
