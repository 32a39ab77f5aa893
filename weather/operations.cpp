#include "weather/operations.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <future>
#include <string_view>
#include <vector>

#include "weather/arguments.h"
#include "weather/aviation_products.h"
#include "weather/canonical_json.h"
#include "weather/forecast_products.h"
#include "weather/metar_reports.h"
#include "weather/point_products.h"
#include "weather/services.h"

namespace weather {
namespace {

std::string utc_timestamp(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ",
                  static_cast<unsigned>(utc.tm_year + 1900), static_cast<unsigned>(utc.tm_mon + 1),
                  static_cast<unsigned>(utc.tm_mday), static_cast<unsigned>(utc.tm_hour),
                  static_cast<unsigned>(utc.tm_min), static_cast<unsigned>(utc.tm_sec));
    return text;
}

// What the weather is at one map point: the points document and, fetched in parallel, the
// hourly forecast, the grid data and the nearest station's latest observation. Only the points
// lookup is essential; a missing product becomes a warning. Every document stays compact text,
// and the reply is written around them.
OperationOutcome point_weather(const FetchContext& transport, const std::string& argument) {
    const ParsedArgument<Coordinates> point = parse_point_argument(argument);
    if (!point.value) {
        return {error_response(400, std::string(point.error), {})};
    }
    const std::string points_url = nws_points_prefix + four_decimals(point.value->latitude) + "," +
                                   four_decimals(point.value->longitude);
    CompactDocument points = fetch_compact_json(transport, points_url, false, point_link_options());

    // Each sub-task owns its copy of its link; if anything below throws, the futures' destructors
    // wait for the tasks still running.
    auto hourly = std::async(std::launch::async, fetch_product, std::cref(transport),
                             point_link(points, hourly_link, "forecastHourly"));
    auto grid = std::async(std::launch::async, fetch_product, std::cref(transport),
                           point_link(points, grid_link, "forecastGridData"));
    auto observation = std::async(std::launch::async, nearest_observation, std::cref(transport),
                                  point_link(points, stations_link, "observationStations"));
    const std::string retrieved_at = utc_timestamp(std::chrono::system_clock::now());

    // Joined in a fixed order so the warnings always read hourly, grid, observation.
    nlohmann::json warnings = nlohmann::json::array();
    const auto attach = [&warnings](const char* key, PointProduct product) {
        if (product.failed) {
            warnings.push_back(std::string(key) + ": " + product.error);
            return std::string("null");
        }
        return std::move(product.text);
    };
    std::string hourly_text = attach("hourly", hourly.get());
    std::string grid_text = attach("grid", grid.get());
    std::string observation_text = attach("observation", observation.get());
    // Moved in one by one: a braced list would copy every text.
    std::vector<std::pair<std::string, std::string>> members;
    members.emplace_back("grid", std::move(grid_text));
    members.emplace_back("hourly", std::move(hourly_text));
    members.emplace_back("observation", std::move(observation_text));
    members.emplace_back("point", std::move(points.text));
    members.emplace_back("retrievedAt", to_compact_json(retrieved_at));
    members.emplace_back("source", to_compact_json("NOAA National Weather Service"));
    members.emplace_back("warnings", to_compact_json(warnings));
    std::string reply = compact_object(std::move(members));
    return {written_response(std::move(reply)), !warnings.empty()};
}

// The documents of these two are passed on as received, and alerts run to megabytes, so they are
// kept as text from the start.
Response pilot_reports(const FetchContext& transport) {
    CompactDocument data = fetch_compact_json(transport, pilot_reports_url, true);
    if (data.kind != nlohmann::json::value_t::array) {
        return error_response(502, aviation_format_error, pilot_reports_url);
    }
    return written_response(std::move(data.text));
}

Response active_alerts(const FetchContext& transport) {
    CompactDocument data = fetch_compact_json(transport, active_alerts_url, false);
    if (data.kind != nlohmann::json::value_t::object ||
        !std::binary_search(data.keys.begin(), data.keys.end(), "features")) {
        return error_response(502, alerts_format_error, active_alerts_url);
    }
    return written_response(std::move(data.text));
}

// Every US forecast zone with today's danger, passed on like the alerts.
Response avalanche_danger(const FetchContext& transport) {
    CompactDocument data = fetch_compact_json(transport, avalanche_map_layer_url, false);
    if (data.kind != nlohmann::json::value_t::object ||
        !std::binary_search(data.keys.begin(), data.keys.end(), "features")) {
        return error_response(502, avalanche_format_error, avalanche_map_layer_url);
    }
    return written_response(std::move(data.text));
}

OperationOutcome hazards_operation(const FetchContext& transport, const std::string&) {
    HazardsResult hazards = aviation_hazards(transport);
    return {std::move(hazards.response), hazards.has_warnings};
}

template <Response (*run)(const FetchContext&, const std::string&)>
OperationOutcome with_argument(const FetchContext& transport, const std::string& argument) {
    return {run(transport, argument)};
}

template <Response (*run)(const FetchContext&)>
OperationOutcome without_argument(const FetchContext& transport, const std::string&) {
    return {run(transport)};
}

using std::chrono_literals::operator""s;

}  // namespace

const std::array<Operation, 12> operations = {{
    {"metars", with_argument<metar_reports>, 300s, true},
    {"pireps", without_argument<pilot_reports>, 180s, true},
    {"point", point_weather, 300s, true},
    {"alerts", without_argument<active_alerts>, 300s, true},
    {"tafs", with_argument<terminal_forecasts>, 300s, true},
    {"hazards", hazards_operation, 180s, false},  // a reply with a failed product is not kept
    {"forecast", with_argument<twelve_hour_forecast>, 300s, true},
    {"discussion", with_argument<forecast_discussion>, 300s, true},
    {"zone", with_argument<zone_document>, 6 * 3600s, true},  // zone lines rarely move
    {"winds", with_argument<winds_aloft>, 1800s, true},       // issued four times a day
    {"outlook", with_argument<office_outlook>, 300s, true},
    {"avalanche", without_argument<avalanche_danger>, 900s, true},
}};

const Operation* find_operation(std::string_view name) {
    const auto found =
        std::find_if(operations.begin(), operations.end(),
                     [name](const Operation& operation) { return operation.name == name; });
    return found == operations.end() ? nullptr : &*found;
}

std::chrono::seconds cache_lifetime(std::string_view operation) {
    const Operation* found = find_operation(operation);
    return found ? found->lifetime : std::chrono::seconds{300};
}

WeatherService::WeatherService(FetchContext transport, SteadyClock clock,
                               std::size_t cache_byte_budget)
    : transport(std::move(transport)), clock(std::move(clock)), responses(cache_byte_budget) {}

Response WeatherService::run_operation(const std::string& operation, const std::string& argument) {
    const Operation* found = find_operation(operation);
    if (!found) {
        return error_response(400, unsupported_operation_error, {});
    }
    if (argument.size() > max_argument_bytes) {
        return error_response(400, "Weather request argument is too long", {});
    }
    const std::string key = operation + ":" + argument;
    if (auto cached = responses.find_fresh(key, clock())) {
        return std::move(*cached);
    }

    OperationOutcome outcome;
    try {
        // The table's own name, so the allow-list sees the operation and not the caller's text.
        outcome = found->run(transport.for_operation(found->name), argument);
    } catch (const std::exception& failure) {
        return error_response(502, failure.what(), {});
    }
    if (outcome.response.status == 200 && (found->keeps_partial || !outcome.partial)) {
        // Stored at the time the operation finished, not when the request came in. The cache
        // keeps the body as written; the caller gets the copy with room.
        Response handed_out = copy_with_room(outcome.response);
        responses.store(key, clock(), found->lifetime, std::move(outcome.response));
        return handed_out;
    }
    return std::move(outcome.response);
}

}  // namespace weather
