#pragma once

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

// {"error": message} plus "source" when `source` is not empty, as a Response with `status`.
Response error_response(int status, const std::string& message, const std::string& source);

}  // namespace weather
