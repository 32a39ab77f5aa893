#include "weather/point_products.h"

#include <exception>

#include "weather/services.h"

namespace weather {
namespace {

nlohmann::json error_marker(std::string text) {
    return {{request_error_key, std::move(text)}};
}

bool is_error_marker(const nlohmann::json& value) {
    return value.is_object() && value.contains(request_error_key);
}

bool is_ascii_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_ascii_upper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool is_ascii_alphanumeric(char c) {
    return is_ascii_digit(c) || is_ascii_upper(c) || (c >= 'a' && c <= 'z');
}

// Removes from the front of `text` between `least` and `most` characters for which `accepted`
// holds, as many as there are; false when there are fewer than `least`.
template <typename Accepted>
bool take(std::string_view& text, Accepted accepted, std::size_t least, std::size_t most) {
    std::size_t count = 0;
    while (count < text.size() && count < most && accepted(text[count])) {
        ++count;
    }
    text.remove_prefix(count);
    return count >= least;
}

bool take(std::string_view& text, std::string_view expected) {
    if (!text.starts_with(expected)) {
        return false;
    }
    text.remove_prefix(expected.size());
    return true;
}

// "gridpoints/" + forecast office (three capitals) + "/" + x + "," + y, then exactly `suffix`:
// the form of every grid product link of a points document.
bool is_grid_path(std::string_view path, std::string_view suffix) {
    return take(path, "gridpoints/") && take(path, is_ascii_upper, 3, 3) && take(path, "/") &&
           take(path, is_ascii_digit, 1, 6) && take(path, ",") &&
           take(path, is_ascii_digit, 1, 6) && path == suffix;
}

// Segments of letters, digits, "_", "-" and ",", separated by single slashes: no dot segments,
// escapes, query or fragment.
bool is_plain_path(std::string_view path) {
    const auto plain = [](char c) {
        return is_ascii_alphanumeric(c) || c == '_' || c == '-' || c == ',';
    };
    do {
        if (!take(path, plain, 1, path.size())) {
            return false;
        }
    } while (take(path, "/"));
    return path.empty();
}

// The path each link of a points document must have after "https://api.weather.gov/"; links
// this table does not name need only a plain path.
bool has_expected_path(std::string_view name, std::string_view path) {
    if (name == "forecastHourly") {
        return is_grid_path(path, "/forecast/hourly");
    }
    if (name == "forecastGridData") {
        return is_grid_path(path, "");
    }
    if (name == "observationStations") {
        return is_grid_path(path, "/stations");
    }
    if (name == "forecast") {
        return is_grid_path(path, "/forecast");
    }
    return is_plain_path(path);
}

// "https://api.weather.gov/stations/" followed by a plain station identifier and nothing else.
bool is_station_url(std::string_view url) {
    return take(url, nws_stations_prefix) && take(url, is_ascii_alphanumeric, 1, 32) && url.empty();
}

}  // namespace

std::string point_link(const nlohmann::json& points_document, std::string_view name) {
    if (!points_document.is_object()) {
        return {};
    }
    const auto properties = points_document.find("properties");
    if (properties == points_document.end() || !properties->is_object()) {
        return {};
    }
    const auto link = properties->find(name);
    if (link == properties->end() || !link->is_string()) {
        return {};
    }
    const auto& url = link->get_ref<const std::string&>();
    std::string_view path = url;
    return take(path, nws_api_prefix) && has_expected_path(name, path) ? url : std::string{};
}

nlohmann::json fetch_product(const Transport& transport, const std::string& url) {
    if (url.empty()) {
        return error_marker(product_missing_error);
    }
    try {
        return fetch_json(transport, url, false);
    } catch (const std::exception& failure) {
        return error_marker(failure.what());
    }
}

void attach_product(nlohmann::json& reply, const std::string& key, nlohmann::json product) {
    if (is_error_marker(product)) {
        // A marker whose text is not a string is still a failed product.
        const auto& text = product[request_error_key];
        reply["warnings"].push_back(key + ": " +
                                    (text.is_string() ? text.get<std::string>() : text.dump()));
        return;
    }
    reply[key] = std::move(product);
}

nlohmann::json nearest_observation(const Transport& transport, const std::string& stations_url) {
    nlohmann::json stations = fetch_product(transport, stations_url);
    if (is_error_marker(stations)) {
        return stations;
    }
    if (!stations.is_object() || !stations.contains("features") ||
        !stations["features"].is_array() || stations["features"].empty()) {
        return error_marker("No nearby reporting stations were returned");
    }
    const nlohmann::json& nearest = stations["features"][0];
    if (!nearest.is_object() || !nearest.contains("id") || !nearest["id"].is_string()) {
        return error_marker("Nearest weather station has no valid identifier");
    }
    const auto& station_url = nearest["id"].get_ref<const std::string&>();
    if (!is_station_url(station_url)) {
        return error_marker("Nearest weather station URL is invalid");
    }

    nlohmann::json observation = fetch_product(transport, station_url + "/observations/latest");
    const auto station_properties = nearest.find("properties");
    if (observation.is_object() && observation.contains("properties") &&
        observation["properties"].is_object() && station_properties != nearest.end() &&
        station_properties->is_object()) {
        // value() throws the library's type error for a present non-string name; that error
        // is meant to end the whole point operation.
        observation["properties"]["stationName"] = station_properties->value("name", std::string{});
        observation["properties"]["stationIdentifier"] =
            station_properties->value("stationIdentifier", std::string{});
    }
    return observation;
}

}  // namespace weather
