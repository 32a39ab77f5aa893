#include "weather/response.h"

#include <utility>

#include <nlohmann/json.hpp>

#include "base/unicode.h"
#include "weather/canonical_json.h"

namespace weather {

Response written_response(std::string body) {
    return Response{200, std::move(body), json_content_type, BodyOrigin::serialiser};
}

Response copy_with_room(const Response& response) {
    Response copy{response.status, {}, response.content_type, response.origin};
    copy.body.reserve(response.body.size() + spare_body_bytes);
    copy.body.append(response.body);
    return copy;
}

nlohmann::json error_body(std::string_view message, std::string_view source) {
    // Failure texts can quote bytes of a refused input; they are made valid UTF-8 here so the
    // error body can always be serialised.
    nlohmann::json body = {{"error", base::valid_utf8(message)}};
    if (!source.empty()) {
        body["source"] = base::valid_utf8(source);
    }
    return body;
}

Response error_response(int status, const std::string& message, const std::string& source) {
    return Response{status, to_compact_json(error_body(message, source)), json_content_type,
                    BodyOrigin::serialiser};
}

}  // namespace weather
