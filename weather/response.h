#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace weather {

inline constexpr char json_content_type[] = "application/json; charset=utf-8";

// How a response's body came to be, so a reader knows whether it may take the body's form on
// trust. Anything not marked as the core's own is checked again before it is spliced anywhere.
enum class BodyOrigin {
    elsewhere,   // passed through, built by a caller, or of any source nobody marked: checked
    cache,       // handed out by the response cache: checked, as it is not this run's writing
    serialiser,  // written just now by the core's compact serialiser (canonical_json.h)
};

// Result of one weather operation: an HTTP-like status and a compact JSON body.
struct Response {
    std::int32_t status = 500;
    std::string body;
    std::string content_type = json_content_type;
    BodyOrigin origin = BodyOrigin::elsewhere;
};

// A 200 response whose body the core's compact serialiser has just written.
Response written_response(std::string body);

// Spare capacity of a body handed out by the cache (a copy): a caller that writes a short
// envelope around the body, as the bridge's reply does, then writes it in the body's own buffer
// instead of growing it into a second one beside the cache's.
inline constexpr std::size_t spare_body_bytes = 4096;

// A copy of `response` whose body has spare_body_bytes of room to spare, of the same origin.
Response copy_with_room(const Response& response);

// {"error": message} plus "source" when `source` is not empty, any ill-formed UTF-8 in either
// replaced so the body can always be serialised. The one error body of the core and the bridge.
nlohmann::json error_body(std::string_view message, std::string_view source = {});

// error_body as a Response with `status`, written by the serialiser.
Response error_response(int status, const std::string& message, const std::string& source);

}  // namespace weather
