#include "weather/arguments.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>

namespace weather {
namespace {

// Reads numbers and separators the way a classic-locale input stream does: blanks are skipped
// before each item and a number ends at the first character that cannot continue it.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::string& text) : stream(text) {
        stream.imbue(std::locale::classic());
    }

    bool number(double& value) {
        stream >> value;
        return !stream.fail() && std::isfinite(value);
    }

    bool separator() {
        char c = 0;
        stream >> c;
        return !stream.fail() && c == ',';
    }

    // True when nothing but blanks is left.
    bool exhausted() {
        stream >> std::ws;
        return stream.peek() == std::char_traits<char>::eof();
    }

private:
    std::istringstream stream;
};

// A grid index: one or more ASCII digits with a value of at most 999. Leading zeros are read
// like any other digit and do not count against the value.
std::optional<int> grid_index(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > 999) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

ParsedArgument<Coordinates> parse_point_argument(const std::string& argument) {
    ArgumentReader reader(argument);
    Coordinates point;
    if (!reader.number(point.latitude) || !reader.separator() || !reader.number(point.longitude)) {
        return {std::nullopt, point_format_error};
    }
    if (!reader.exhausted() || point.latitude < 24 || point.latitude > 50.5 ||
        point.longitude < -126 || point.longitude > -66) {
        return {std::nullopt, point_area_error};
    }
    return {point, {}};
}

ParsedArgument<Bounds> parse_bounds_argument(const std::string& argument,
                                             const BoundsTexts& texts) {
    ArgumentReader reader(argument);
    Bounds box;
    if (!reader.number(box.south) || !reader.separator() || !reader.number(box.west) ||
        !reader.separator() || !reader.number(box.north) || !reader.separator() ||
        !reader.number(box.east)) {
        return {std::nullopt, texts.format_error};
    }
    if (!reader.exhausted() || box.south < western_box_number(0) ||
        box.north > western_box_number(2) || box.west < western_box_number(1) ||
        box.east > western_box_number(3) || box.south >= box.north || box.west >= box.east) {
        return {std::nullopt, texts.area_error};
    }
    return {box, {}};
}

std::string bounds_text(const Bounds& box) {
    return four_decimals(box.south) + "," + four_decimals(box.west) + "," +
           four_decimals(box.north) + "," + four_decimals(box.east);
}

ParsedArgument<GridCell> parse_grid_cell_argument(const std::string& argument) {
    const auto slash = argument.find('/');
    const auto comma = argument.find(',');
    if (slash == std::string::npos || comma == std::string::npos || comma < slash) {
        return {std::nullopt, grid_cell_error};
    }
    const auto office = parse_office_argument(argument.substr(0, slash));
    const auto x = grid_index(std::string_view(argument).substr(slash + 1, comma - slash - 1));
    const auto y = grid_index(std::string_view(argument).substr(comma + 1));
    if (!office.value || !x || !y) {
        return {std::nullopt, grid_cell_error};
    }
    return {GridCell{*office.value, *x, *y}, {}};
}

ParsedArgument<std::string> parse_office_argument(const std::string& argument) {
    const bool letters =
        argument.size() == 3 &&
        std::all_of(argument.begin(), argument.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (!letters) {
        return {std::nullopt, office_error};
    }
    return {argument, {}};
}

ParsedArgument<OfficeProduct> parse_outlook_argument(const std::string& argument) {
    const auto slash = argument.find('/');
    if (slash != 3) {
        return {std::nullopt, outlook_error};
    }
    const std::string type = argument.substr(0, slash);
    const auto office = parse_office_argument(argument.substr(slash + 1));
    if ((type != "HWO" && type != "FWF") || !office.value) {
        return {std::nullopt, outlook_error};
    }
    return {OfficeProduct{type, *office.value}, {}};
}

ParsedArgument<std::string> parse_zone_argument(const std::string& argument) {
    const auto slash = argument.find('/');
    if (slash == std::string::npos) {
        return {std::nullopt, zone_error};
    }
    const std::string_view type = std::string_view(argument).substr(0, slash);
    const std::string_view id = std::string_view(argument).substr(slash + 1);
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool known_type = type == "forecast" || type == "fire" || type == "county";
    const bool zone_id = id.size() == 6 && upper(id[0]) && upper(id[1]) &&
                         (id[2] == 'Z' || id[2] == 'C') && digit(id[3]) && digit(id[4]) &&
                         digit(id[5]);
    if (!known_type || !zone_id) {
        return {std::nullopt, zone_error};
    }
    return {argument, {}};
}

std::string four_decimals(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(4) << value;
    return out.str();
}

}  // namespace weather
