#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "weather/fetch.h"

// The products of a map point. A product that cannot be had is returned as an error marker,
// {"_requestError": text}, which the point operation turns into a warning.
namespace weather {

inline constexpr char request_error_key[] = "_requestError";
inline constexpr char product_missing_error[] =
    "This forecast location does not provide the requested product";

// The URL of link `name` in the points document's "properties" when it is a string of exactly
// the expected form on the NWS API host (the grid products' "/gridpoints/OFFICE/X,Y..." paths;
// for other names a path of plain segments, without dot segments, escapes, query or fragment);
// empty otherwise.
std::string point_link(const nlohmann::json& points_document, std::string_view name);

// The document behind `url`, or an error marker; never throws for a failed download.
nlohmann::json fetch_product(const Transport& transport, const std::string& url);

// Moves `product` into reply[key], or appends the warning "key: text" for an error marker.
void attach_product(nlohmann::json& reply, const std::string& key, nlohmann::json product);

// The latest observation of the first station of the list behind `stations_url` (whose "id"
// must be the NWS API's station URL with a plain identifier), labelled with that station's name
// and identifier, or an error marker. Throws only the JSON library's
// type error when the station's name or identifier is present but not a string.
nlohmann::json nearest_observation(const Transport& transport, const std::string& stations_url);

}  // namespace weather
