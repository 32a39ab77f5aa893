#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace weather {

inline constexpr char json_content_type[] = "application/json; charset=utf-8";

// Result of one weather operation: an HTTP-like status and a compact JSON body.
struct Response {
    std::int32_t status = 500;
    std::string body;
    std::string content_type = json_content_type;
};

// Spare capacity of a body handed out by the cache (a copy): a caller that writes a short
// envelope around the body, as the bridge's reply does, then writes it in the body's own buffer
// instead of growing it into a second one beside the cache's.
inline constexpr std::size_t spare_body_bytes = 4096;

// A copy of `response` whose body has spare_body_bytes of room to spare.
Response copy_with_room(const Response& response);

// {"error": message} plus "source" when `source` is not empty, as a Response with `status`.
Response error_response(int status, const std::string& message, const std::string& source);

}  // namespace weather
