#include "weather/point_products.h"

#include <exception>
#include <optional>

#include "weather/canonical_json.h"
#include "weather/services.h"

namespace weather {
namespace {

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

// The document behind `url` with `options`, or why it could not be had.
struct Fetched {
    std::optional<CompactDocument> document;
    std::string error;
};

Fetched try_fetch(const FetchContext& transport, const std::string& url,
                  const CompactOptions& options) {
    if (url.empty()) {
        return {std::nullopt, product_missing_error};
    }
    try {
        return {fetch_compact_json(transport, url, false, options), {}};
    } catch (const std::exception& failure) {
        return {std::nullopt, failure.what()};
    }
}

// Options that also look for the member "_requestError" (the last probe).
CompactOptions with_error_probe(CompactOptions options) {
    options.probes.push_back(Probe{{{request_error_key}}, true});
    return options;
}

// The fetched document as a product: failed when it could not be had or names an error.
PointProduct as_product(Fetched fetched) {
    if (!fetched.document) {
        return {true, {}, std::move(fetched.error)};
    }
    const FoundValue& marker = fetched.document->found.back();
    if (marker.kind != nlohmann::json::value_t::discarded) {
        // A marker whose text is not a string is still a failed product.
        return {true,
                {},
                marker.kind == nlohmann::json::value_t::string
                    ? nlohmann::json::parse(marker.text).get<std::string>()
                    : marker.text};
    }
    return {false, std::move(fetched.document->text), {}};
}

PointProduct failed_product(std::string text) {
    return {true, {}, std::move(text)};
}

std::string string_of(const FoundValue& found) {
    return nlohmann::json::parse(found.text).get<std::string>();
}

// A station label as the parsed list's value(name, "") reads it: "" when missing, and the
// library's own type error for a value that is not a string.
std::optional<std::string> station_label(const FoundValue& found) {
    if (found.kind == nlohmann::json::value_t::discarded) {
        return std::string();
    }
    if (found.kind == nlohmann::json::value_t::string) {
        return string_of(found);
    }
    return std::nullopt;
}

void throw_label_type_error(const FoundValue& found) {
    (void)nlohmann::json(found.kind).get<std::string>();
}

}  // namespace

CompactOptions point_link_options() {
    CompactOptions options;
    for (const char* name : {"forecastHourly", "forecastGridData", "observationStations"}) {
        options.probes.push_back(Probe{{{"properties"}, {name}}});
    }
    return options;
}

std::string point_link(const CompactDocument& points, std::size_t index, std::string_view name) {
    const FoundValue& link = points.found.at(index);
    if (link.kind != nlohmann::json::value_t::string) {
        return {};
    }
    const std::string url = string_of(link);
    std::string_view path = url;
    return take(path, nws_api_prefix) && has_expected_path(name, path) ? url : std::string{};
}

PointProduct fetch_product(const FetchContext& transport, const std::string& url) {
    return as_product(try_fetch(transport, url, with_error_probe({})));
}

PointProduct nearest_observation(const FetchContext& transport, const std::string& stations_url) {
    // Only the first station is read of the list, which is not part of the reply.
    CompactOptions list;
    const JsonPath first = {{"features"}, element(0)};
    const auto under_first = [&first](std::initializer_list<PathStep> rest) {
        JsonPath path = first;
        path.insert(path.end(), rest);
        return path;
    };
    list.probes = {Probe{{{"features"}}},
                   Probe{first},
                   Probe{under_first({{"id"}})},
                   Probe{under_first({{"properties"}})},
                   Probe{under_first({{"properties"}, {"name"}})},
                   Probe{under_first({{"properties"}, {"stationIdentifier"}})}};
    Fetched stations = try_fetch(transport, stations_url, with_error_probe(std::move(list)));
    const std::vector<FoundValue> found =
        stations.document ? stations.document->found : std::vector<FoundValue>{};
    PointProduct listed = as_product(std::move(stations));
    if (listed.failed) {
        return listed;
    }
    std::string().swap(listed.text);
    using value_t = nlohmann::json::value_t;
    if (found[0].kind != value_t::array || found[1].kind == value_t::discarded) {
        return failed_product("No nearby reporting stations were returned");
    }
    if (found[1].kind != value_t::object || found[2].kind != value_t::string) {
        return failed_product("Nearest weather station has no valid identifier");
    }
    const std::string station_url = string_of(found[2]);
    if (!is_station_url(station_url)) {
        return failed_product("Nearest weather station URL is invalid");
    }

    // The station's name and identifier go into the observation's "properties" as it is
    // written; a label that is not a string ends the whole operation, but only where it would
    // have been written.
    const bool labelled = found[3].kind == value_t::object;
    const std::optional<std::string> name = station_label(found[4]);
    const std::optional<std::string> identifier = station_label(found[5]);
    CompactOptions observation_options;
    observation_options.probes = {Probe{{{"properties"}}}};
    if (labelled) {
        observation_options.additions = {
            AddedMember{{{"properties"}}, "stationName", to_compact_json(name.value_or(""))},
            AddedMember{
                {{"properties"}}, "stationIdentifier", to_compact_json(identifier.value_or(""))}};
    }
    Fetched observation = try_fetch(transport, station_url + "/observations/latest",
                                    with_error_probe(std::move(observation_options)));
    if (labelled && observation.document && observation.document->kind == value_t::object &&
        observation.document->found[0].kind == value_t::object) {
        if (!name) {
            throw_label_type_error(found[4]);
        }
        if (!identifier) {
            throw_label_type_error(found[5]);
        }
    }
    return as_product(std::move(observation));
}

}  // namespace weather
