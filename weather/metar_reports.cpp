#include "weather/metar_reports.h"

#include <cstdint>
#include <exception>

#include "weather/arguments.h"
#include "weather/canonical_json.h"
#include "weather/services.h"

namespace weather {
namespace {

// An element's "obsTime" as the record's time: integers as they are, unsigned ones converted
// like a plain cast to a signed 64-bit integer; anything else 0.
std::int64_t observation_time(const FoundValue& time) {
    if (time.kind == nlohmann::json::value_t::number_integer) {
        return nlohmann::json::parse(time.text).get<std::int64_t>();
    }
    if (time.kind == nlohmann::json::value_t::number_unsigned) {
        return static_cast<std::int64_t>(nlohmann::json::parse(time.text).get<std::uint64_t>());
    }
    return 0;
}

// Every record as it came, in order: the array the merge would have given otherwise.
std::string joined_array(std::vector<MetarRecord>& records) {
    std::string text = "[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += records[i].text;
        std::string().swap(records[i].text);
    }
    return text += ']';
}

}  // namespace

CompactOptions metar_record_options(std::vector<MetarRecord>& records) {
    CompactOptions options;
    options.probes = {Probe{{{"icaoId"}}}, Probe{{{"obsTime"}}}};
    options.on_element = [&records](CompactDocument&& element) {
        MetarRecord record{std::move(element.text), std::nullopt, 0};
        if (element.found[0].kind == nlohmann::json::value_t::string) {
            record.station = nlohmann::json::parse(element.found[0].text).get<std::string>();
            record.time = observation_time(element.found[1]);
        }
        records.push_back(std::move(record));
    };
    return options;
}

void merge_metars(std::map<std::string, MetarRecord>& merged, std::vector<MetarRecord>& records) {
    for (MetarRecord& record : records) {
        if (!record.station) {
            continue;
        }
        const auto stored = merged.find(*record.station);
        if (stored == merged.end()) {
            const std::string station = *record.station;
            merged.emplace(station, std::move(record));
        } else if (record.time >= stored->second.time) {
            stored->second = std::move(record);
        }
    }
    records.clear();
}

Response metar_reports(const FetchContext& transport, const std::string& argument) {
    std::string bounds = default_metar_bounds;
    if (!argument.empty()) {
        const ParsedArgument<Bounds> box = parse_bounds_argument(argument);
        if (!box.value) {
            return error_response(400, std::string(box.error), {});
        }
        bounds = bounds_text(*box.value);
    }

    // Records are kept as compact text with the two members the merge reads, never as values.
    const std::string box_url = metar_box_url_prefix + bounds + metar_box_url_suffix;
    if (!argument.empty()) {
        CompactDocument reports = fetch_compact_json(transport, box_url, true);
        if (reports.kind != nlohmann::json::value_t::array) {
            return error_response(502, aviation_format_error, box_url);
        }
        return written_response(std::move(reports.text));
    }

    std::vector<MetarRecord> reports;
    if (fetch_compact_json(transport, box_url, true, metar_record_options(reports)).kind !=
        nlohmann::json::value_t::array) {
        return error_response(502, aviation_format_error, box_url);
    }
    std::vector<MetarRecord> fixed_stations;
    bool fixed_stations_array = true;
    try {
        fixed_stations_array = fetch_compact_json(transport, fixed_stations_metar_url, true,
                                                  metar_record_options(fixed_stations))
                                   .kind == nlohmann::json::value_t::array;
    } catch (const std::exception&) {
        // The six stations only complete the picture; without them the box still answers.
        fixed_stations.clear();
    }
    if (!fixed_stations_array) {
        return written_response(joined_array(reports));
    }
    std::map<std::string, MetarRecord> merged;
    merge_metars(merged, reports);
    merge_metars(merged, fixed_stations);
    std::string text = "[";
    for (auto entry = merged.begin(); entry != merged.end(); entry = merged.erase(entry)) {
        if (text.size() > 1) {
            text += ',';
        }
        text += entry->second.text;
    }
    text += ']';
    return written_response(std::move(text));
}

}  // namespace weather
