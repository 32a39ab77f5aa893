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
    return url.starts_with(nws_api_prefix) ? url : std::string{};
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
    if (!station_url.starts_with(nws_stations_prefix)) {
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
