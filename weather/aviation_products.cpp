#include "weather/aviation_products.h"

#include <exception>
#include <future>
#include <vector>

#include "weather/arguments.h"
#include "weather/canonical_json.h"
#include "weather/services.h"

namespace weather {

Response terminal_forecasts(const FetchContext& transport, const std::string& argument) {
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
    return written_response(std::move(forecasts.text));
}

HazardProduct fetch_hazard_product(const FetchContext& transport, const std::string& url) {
    try {
        CompactDocument data = fetch_compact_json(transport, url, true);
        if (data.kind != nlohmann::json::value_t::array) {
            return {{}, aviation_format_error, url};
        }
        return {std::move(data.text), {}, {}};
    } catch (const std::exception& failure) {
        return {{}, failure.what(), {}};
    }
}

HazardsResult aviation_hazards(const FetchContext& transport) {
    // Each sub-task owns its copy of its URL; if anything below throws, the futures' destructors
    // wait for the tasks still running.
    auto sigmets = std::async(std::launch::async, fetch_hazard_product, std::cref(transport),
                              std::string(sigmets_url));
    auto gairmets = std::async(std::launch::async, fetch_hazard_product, std::cref(transport),
                               std::string(gairmets_url));
    auto advisories = std::async(std::launch::async, fetch_hazard_product, std::cref(transport),
                                 std::string(center_advisories_url));

    // The products stay compact text: the reply is written around them, never parsed again.
    std::string texts[3];  // sigmets, gairmets, cwas
    nlohmann::json warnings = nlohmann::json::array();
    // Joined in a fixed order so the warnings always read sigmets, gairmets, cwas.
    const char* const keys[] = {"sigmets", "gairmets", "cwas"};
    std::future<HazardProduct>* const products[] = {&sigmets, &gairmets, &advisories};
    std::string sigmets_error;
    std::string sigmets_source;
    int failed = 0;
    for (int i = 0; i < 3; ++i) {
        HazardProduct product = products[i]->get();
        if (i == 0) {
            sigmets_error = product.error;
            sigmets_source = product.source;
        }
        if (product.error.empty()) {
            texts[i] = std::move(product.data);
        } else {
            texts[i] = "null";
            warnings.push_back(std::string(keys[i]) + ": " + product.error);
            ++failed;
        }
    }
    if (failed == 3) {
        return {error_response(502, sigmets_error, sigmets_source), true};
    }
    // Moved in one by one: a braced list would copy every text.
    std::vector<std::pair<std::string, std::string>> members;
    members.emplace_back("cwas", std::move(texts[2]));
    members.emplace_back("gairmets", std::move(texts[1]));
    members.emplace_back("sigmets", std::move(texts[0]));
    members.emplace_back("warnings", to_compact_json(warnings));
    std::string reply = compact_object(std::move(members));
    return {written_response(std::move(reply)), failed > 0};
}

}  // namespace weather
