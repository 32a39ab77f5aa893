#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "weather/canonical_json.h"
#include "weather/fetch.h"
#include "weather/response.h"

namespace weather {

// Surface reports in the box "south,west,north,east", or, for an empty argument, in the whole
// western area merged with six fixed stations (newest report per station, by identifier).
// 400 for a bad argument; throws what fetch_json throws for the box request.
Response metar_reports(const FetchContext& transport, const std::string& argument);

// One element of a METAR array: its compact text and what merging reads of it.
struct MetarRecord {
    std::string text;
    std::optional<std::string> station;  // "icaoId" when the record is an object and it a string
    std::int64_t time = 0;               // "obsTime" when it is an integer, else 0
};

// Options for a compact pass over a METAR array that appends each element to `records`.
CompactOptions metar_record_options(std::vector<MetarRecord>& records);

// Adds each record with a station to `merged`, keeping per station the record with the greatest
// time; on equal times the later wins.
void merge_metars(std::map<std::string, MetarRecord>& merged, std::vector<MetarRecord>& records);

}  // namespace weather
