#pragma once

#include <string>
#include <string_view>

#include "weather/canonical_json.h"
#include "weather/fetch.h"

// The products of a map point, each held as compact text while it is checked. A document that
// is an object with the member "_requestError" counts as a failed product, as the markers the
// products' own failures once were.
namespace weather {

inline constexpr char request_error_key[] = "_requestError";
inline constexpr char product_missing_error[] =
    "This forecast location does not provide the requested product";

// A product's compact text, or, when it failed, the text of its warning.
struct PointProduct {
    bool failed = false;
    std::string text;   // compact JSON, when not failed
    std::string error;  // when failed
};

// The points document's links the products follow, read while its compact text is written.
CompactOptions point_link_options();

// The URL `found` by probe `index` of point_link_options (the link named `name`) when it is a
// string of exactly the expected form on the NWS API host (the grid products'
// "/gridpoints/OFFICE/X,Y..." paths; for other names a path of plain segments, without dot
// segments, escapes, query or fragment); empty otherwise.
std::string point_link(const CompactDocument& points, std::size_t index, std::string_view name);
inline constexpr std::size_t hourly_link = 0;
inline constexpr std::size_t grid_link = 1;
inline constexpr std::size_t stations_link = 2;

// The document behind `url` as a product; never throws for a failed download.
PointProduct fetch_product(const FetchContext& transport, const std::string& url);

// The latest observation of the first station of the list behind `stations_url` (whose "id"
// must be the NWS API's station URL with a plain identifier), labelled with that station's name
// and identifier, or a failed product. Throws only the JSON library's type error when the
// station's name or identifier is present but not a string.
PointProduct nearest_observation(const FetchContext& transport, const std::string& stations_url);

}  // namespace weather
