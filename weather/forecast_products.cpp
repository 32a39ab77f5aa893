#include "weather/forecast_products.h"

#include <algorithm>

#include "weather/arguments.h"
#include "weather/canonical_json.h"
#include "weather/services.h"

namespace weather {
namespace {

// The member's value, or null when the document has none.
nlohmann::json member_or_null(nlohmann::json& document, const char* key) {
    const auto found = document.find(key);
    return found == document.end() ? nlohmann::json() : std::move(*found);
}

// "<prefix>TYPE/locations/LOCATION/latest": the latest text product of a type from an office or
// an area.
std::string latest_product_url(std::string_view type, std::string_view location) {
    return office_products_url_prefix + std::string(type) + "/locations/" + std::string(location) +
           "/latest";
}

// {"issuanceTime", "issuingOffice", "productText"} of a text product; 502 with the URL as source
// when it has no string text, or when it names a product other than `product_code`.
Response text_product(const FetchContext& transport, const std::string& url,
                      std::string_view product_code, const char* format_error) {
    nlohmann::json product = fetch_json(transport, url, false);
    if (!product.is_object() || !product.contains("productText") ||
        !product["productText"].is_string()) {
        return error_response(502, format_error, url);
    }
    if (!product_code.empty() && product.contains("productCode") &&
        product["productCode"] != std::string(product_code)) {
        return error_response(502, format_error, url);
    }
    const nlohmann::json reply = {{"issuanceTime", member_or_null(product, "issuanceTime")},
                                  {"issuingOffice", member_or_null(product, "issuingOffice")},
                                  {"productText", member_or_null(product, "productText")}};
    return written_response(to_compact_json(reply));
}

}  // namespace

Response twelve_hour_forecast(const FetchContext& transport, const std::string& argument) {
    const ParsedArgument<GridCell> cell = parse_grid_cell_argument(argument);
    if (!cell.value) {
        return error_response(400, std::string(cell.error), {});
    }
    // Written anew, so "SLC/007,5" asks for the cell the service calls SLC/7,5.
    const std::string url = nws_gridpoints_prefix + cell.value->office + "/" +
                            std::to_string(cell.value->x) + "," + std::to_string(cell.value->y) +
                            forecast_url_suffix;
    // Written compactly as it arrives; only the periods' form is looked at on the way.
    CompactOptions options;
    options.probes.push_back(Probe{{{"properties"}, {"periods"}}});
    CompactDocument forecast = fetch_compact_json(transport, url, false, options);
    if (forecast.found[0].kind != nlohmann::json::value_t::array) {
        return error_response(502, forecast_format_error, url);
    }
    return written_response(std::move(forecast.text));
}

Response forecast_discussion(const FetchContext& transport, const std::string& argument) {
    const ParsedArgument<std::string> office = parse_office_argument(argument);
    if (!office.value) {
        return error_response(400, std::string(office.error), {});
    }
    return text_product(transport, latest_product_url("AFD", *office.value), {},
                        discussion_format_error);
}

Response winds_aloft(const FetchContext& transport, const std::string& argument) {
    for (const WindsBulletin& bulletin : winds_bulletins) {
        if (argument == bulletin.argument) {
            return text_product(transport, latest_product_url(bulletin.product, bulletin.location),
                                bulletin.product, winds_format_error);
        }
    }
    return error_response(400, winds_bulletin_error, {});
}

Response office_outlook(const FetchContext& transport, const std::string& argument) {
    const ParsedArgument<OfficeProduct> product = parse_outlook_argument(argument);
    if (!product.value) {
        return error_response(400, std::string(product.error), {});
    }
    return text_product(transport, latest_product_url(product.value->type, product.value->office),
                        {}, outlook_format_error);
}

Response zone_document(const FetchContext& transport, const std::string& argument) {
    const ParsedArgument<std::string> zone = parse_zone_argument(argument);
    if (!zone.value) {
        return error_response(400, std::string(zone.error), {});
    }
    // Zone shapes run to megabytes along coasts, so they are kept as text from the start.
    const std::string url = nws_zones_prefix + *zone.value;
    CompactDocument document = fetch_compact_json(transport, url, false);
    if (document.kind != nlohmann::json::value_t::object ||
        !std::binary_search(document.keys.begin(), document.keys.end(), "geometry")) {
        return error_response(502, zone_format_error, url);
    }
    return written_response(std::move(document.text));
}

}  // namespace weather
