#include "weather/arguments.h"

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

ParsedArgument<Bounds> parse_bounds_argument(const std::string& argument) {
    ArgumentReader reader(argument);
    Bounds box;
    if (!reader.number(box.south) || !reader.separator() || !reader.number(box.west) ||
        !reader.separator() || !reader.number(box.north) || !reader.separator() ||
        !reader.number(box.east)) {
        return {std::nullopt, bounds_format_error};
    }
    if (!reader.exhausted() || box.south < 31 || box.north > 49.5 || box.west < -125 ||
        box.east > -102 || box.south >= box.north || box.west >= box.east) {
        return {std::nullopt, bounds_area_error};
    }
    return {box, {}};
}

std::string four_decimals(double value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(4) << value;
    return out.str();
}

}  // namespace weather
