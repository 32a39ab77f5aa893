#include "weather/metar_reports.h"

#include <cstdint>
#include <exception>

#include "weather/arguments.h"
#include "weather/services.h"
#include "weather/text.h"

namespace weather {
namespace {

std::int64_t observation_time(const nlohmann::json& record) {
    const auto time = record.find("obsTime");
    if (time == record.end()) {
        return 0;
    }
    // Unsigned values convert like a plain cast to a signed 64-bit integer.
    if (time->is_number_integer()) {
        return time->get<std::int64_t>();
    }
    return 0;
}

}  // namespace

void merge_metars(std::map<std::string, nlohmann::json>& merged, const nlohmann::json& records) {
    for (const auto& record : records) {
        if (!record.is_object()) {
            continue;
        }
        const auto id = record.find("icaoId");
        if (id == record.end() || !id->is_string()) {
            continue;
        }
        const auto [stored, inserted] = merged.try_emplace(id->get<std::string>(), record);
        if (!inserted && observation_time(record) >= observation_time(stored->second)) {
            stored->second = record;
        }
    }
}

Response metar_reports(const Transport& transport, const std::string& argument) {
    std::string bounds = default_metar_bounds;
    if (!argument.empty()) {
        const ParsedArgument<Bounds> box = parse_bounds_argument(argument);
        if (!box.value) {
            return error_response(400, std::string(box.error), {});
        }
        bounds = bounds_text(*box.value);
    }

    const std::string box_url = metar_box_url_prefix + bounds + metar_box_url_suffix;
    nlohmann::json reports = fetch_json(transport, box_url, true);
    if (!reports.is_array()) {
        return error_response(502, aviation_format_error, box_url);
    }

    if (argument.empty()) {
        nlohmann::json fixed_stations;
        try {
            fixed_stations = fetch_json(transport, fixed_stations_metar_url, true);
        } catch (const std::exception&) {
            // The six stations only complete the picture; without them the box still answers.
            fixed_stations = nlohmann::json::array();
        }
        if (fixed_stations.is_array()) {
            std::map<std::string, nlohmann::json> merged;
            merge_metars(merged, reports);
            merge_metars(merged, fixed_stations);
            reports = nlohmann::json::array();
            for (auto& [id, record] : merged) {
                reports.push_back(std::move(record));
            }
        }
    }
    return Response{200, to_compact_json(reports), json_content_type};
}

}  // namespace weather
