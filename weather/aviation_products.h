#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "weather/fetch.h"
#include "weather/response.h"

// Aviation products beyond the current reports: terminal forecasts and the hazards over the West.
namespace weather {

// TAFs in the box "south,west,north,east", or in the whole western area for an empty argument.
// 400 for a bad argument, 502 with the URL as source when the answer is not an array; throws
// what fetch_json throws.
Response terminal_forecasts(const FetchContext& transport, const std::string& argument);

// One hazard product's array, or why it could not be had.
struct HazardProduct {
    std::string data;    // the array's compact text, when `error` is empty
    std::string error;   // the failure text
    std::string source;  // the URL of a document of the wrong form; empty for other failures
};

// The array behind `url` (204 counts as empty), or its failure; never throws for a failed
// download.
HazardProduct fetch_hazard_product(const FetchContext& transport, const std::string& url);

// The hazards reply, and whether any product failed: such a reply must not be kept, so that a
// short outage of one product is retried at the next refresh.
struct HazardsResult {
    Response response;
    bool has_warnings = false;
};

// SIGMETs, G-AIRMETs and Center Weather Advisories, fetched in parallel and joined in that
// order: {"cwas", "gairmets", "sigmets", "warnings"}, a failed product null with the warning
// "<key>: <text>". 502 with the SIGMET failure when all three fail.
HazardsResult aviation_hazards(const FetchContext& transport);

}  // namespace weather
