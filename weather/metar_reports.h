#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "weather/fetch.h"
#include "weather/response.h"

namespace weather {

// Surface reports in the box "south,west,north,east", or, for an empty argument, in the whole
// western area merged with six fixed stations (newest report per station, by identifier).
// 400 for a bad argument; throws what fetch_json throws for the box request.
Response metar_reports(const Transport& transport, const std::string& argument);

// Adds each record with a string "icaoId" to `merged`, keeping per station the record with the
// greatest integer "obsTime" (0 when missing or not an integer); on equal times the later wins.
void merge_metars(std::map<std::string, nlohmann::json>& merged, const nlohmann::json& records);

}  // namespace weather
