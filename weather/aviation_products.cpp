#include "weather/aviation_products.h"

#include <exception>
#include <future>

#include "weather/arguments.h"
#include "weather/services.h"
#include "weather/text.h"

namespace weather {

Response terminal_forecasts(const Transport& transport, const std::string& argument) {
    std::string bounds = default_taf_bounds;
    if (!argument.empty()) {
        const ParsedArgument<Bounds> box = parse_bounds_argument(argument, taf_bounds_texts);
        if (!box.value) {
            return error_response(400, std::string(box.error), {});
        }
        bounds = bounds_text(*box.value);
    }
    const std::string url = taf_box_url_prefix + bounds + taf_box_url_suffix;
    CompactDocument forecasts = fetch_compact_json(transport, url, true);
    if (forecasts.kind != nlohmann::json::value_t::array) {
        return error_response(502, aviation_format_error, url);
    }
    return Response{200, std::move(forecasts.text), json_content_type};
}

HazardProduct fetch_hazard_product(const Transport& transport, const std::string& url) {
    try {
        nlohmann::json data = fetch_json(transport, url, true);
        if (!data.is_array()) {
            return {nullptr, aviation_format_error, url};
        }
        return {std::move(data), {}, {}};
    } catch (const std::exception& failure) {
        return {nullptr, failure.what(), {}};
    }
}

HazardsResult aviation_hazards(const Transport& transport) {
    // Each sub-task owns its copy of its URL; if anything below throws, the futures' destructors
    // wait for the tasks still running.
    auto sigmets = std::async(std::launch::async, fetch_hazard_product, std::cref(transport),
                              std::string(sigmets_url));
    auto gairmets = std::async(std::launch::async, fetch_hazard_product, std::cref(transport),
                               std::string(gairmets_url));
    auto advisories = std::async(std::launch::async, fetch_hazard_product, std::cref(transport),
                                 std::string(center_advisories_url));

    nlohmann::json reply = {{"cwas", nullptr},
                            {"gairmets", nullptr},
                            {"sigmets", nullptr},
                            {"warnings", nlohmann::json::array()}};
    // Joined in a fixed order so the warnings always read sigmets, gairmets, cwas.
    int failed = 0;
    const auto attach = [&](const char* key, HazardProduct product) {
        if (product.error.empty()) {
            reply[key] = std::move(product.data);
        } else {
            reply["warnings"].push_back(std::string(key) + ": " + product.error);
            ++failed;
        }
    };
    HazardProduct first = sigmets.get();
    const std::string sigmets_error = first.error;
    const std::string sigmets_source = first.source;
    attach("sigmets", std::move(first));
    attach("gairmets", gairmets.get());
    attach("cwas", advisories.get());
    if (failed == 3) {
        return {error_response(502, sigmets_error, sigmets_source), true};
    }
    return {Response{200, to_compact_json(reply), json_content_type}, failed > 0};
}

}  // namespace weather
