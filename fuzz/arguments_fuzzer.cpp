// Arbitrary request arguments through every argument parser: accepted values always lie inside
// their areas, a grid cell or office written back reads as the same value, and an accepted zone
// is safe to put into a URL path as it is.
#include <algorithm>
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

    for (const auto& texts : {weather::metar_bounds_texts, weather::taf_bounds_texts}) {
        const auto box = weather::parse_bounds_argument(argument, texts);
        if (box.value) {
            const auto [south, west, north, east] = *box.value;
            if (!(south >= 31 && north <= 49.5 && west >= -125 && east <= -102 && south < north &&
                  west < east)) {
                std::abort();
            }
            (void)weather::bounds_text(*box.value);
        } else if (box.error != texts.format_error && box.error != texts.area_error) {
            std::abort();
        }
    }

    const auto is_office = [](const std::string& office) {
        return office.size() == 3 && std::all_of(office.begin(), office.end(),
                                                 [](char c) { return c >= 'A' && c <= 'Z'; });
    };
    const auto cell = weather::parse_grid_cell_argument(argument);
    if (cell.value) {
        const auto& [office, x, y] = *cell.value;
        const std::string written = office + "/" + std::to_string(x) + "," + std::to_string(y);
        const auto again = weather::parse_grid_cell_argument(written);
        if (!is_office(office) || x < 0 || x > 999 || y < 0 || y > 999 || !again.value ||
            again.value->office != office || again.value->x != x || again.value->y != y ||
            argument.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/,") !=
                std::string::npos) {
            std::abort();
        }
    } else if (cell.error != weather::grid_cell_error) {
        std::abort();
    }

    const auto office = weather::parse_office_argument(argument);
    if (office.value ? (!is_office(*office.value) || *office.value != argument)
                     : office.error != weather::office_error) {
        std::abort();
    }

    const auto zone = weather::parse_zone_argument(argument);
    if (zone.value
            ? (*zone.value != argument || argument.size() > 15 ||
               argument.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "0123456789/") != std::string::npos ||
               std::count(argument.begin(), argument.end(), '/') != 1)
            : zone.error != weather::zone_error) {
        std::abort();
    }
    return 0;
}
