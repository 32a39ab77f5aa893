// Arbitrary request arguments through the point and METAR box parsers: accepted values always
// lie inside their areas.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "weather/arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string argument(reinterpret_cast<const char*>(data), size);

    const auto point = weather::parse_point_argument(argument);
    if (point.value) {
        const auto [latitude, longitude] = *point.value;
        if (!(latitude >= 24 && latitude <= 50.5 && longitude >= -126 && longitude <= -66)) {
            std::abort();
        }
        (void)weather::four_decimals(latitude);
    } else if (point.error.empty()) {
        std::abort();
    }

    const auto box = weather::parse_bounds_argument(argument);
    if (box.value) {
        const auto [south, west, north, east] = *box.value;
        if (!(south >= 31 && north <= 49.5 && west >= -125 && east <= -102 && south < north &&
              west < east)) {
            std::abort();
        }
    } else if (box.error.empty()) {
        std::abort();
    }
    return 0;
}
