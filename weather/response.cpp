#include "weather/response.h"

#include <nlohmann/json.hpp>

#include "base/unicode.h"
#include "weather/text.h"

namespace weather {

Response copy_with_room(const Response& response) {
    Response copy{response.status, {}, response.content_type};
    copy.body.reserve(response.body.size() + spare_body_bytes);
    copy.body.append(response.body);
    return copy;
}

Response error_response(int status, const std::string& message, const std::string& source) {
    // Failure texts can quote bytes of a refused input; they are made valid UTF-8 here so the
    // error body can always be serialised.
    nlohmann::json body = {{"error", base::valid_utf8(message)}};
    if (!source.empty()) {
        body["source"] = base::valid_utf8(source);
    }
    return Response{status, to_compact_json(body), json_content_type};
}

}  // namespace weather
