#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "weather/response.h"

namespace bridge {

// {"body": body, "id": id, "status": status}.
nlohmann::json make_reply(nlohmann::json id, int status, nlohmann::json body);

// {"error": text}, with any ill-formed UTF-8 in `text` replaced so it can always be serialised.
nlohmann::json error_body(std::string_view text);

using OperationRunner =
    std::function<weather::Response(const std::string& operation, const std::string& argument)>;

// The serialised reply to a finished request: the operation's status and its body, or status
// 500 with the text of any exception raised on the way. A body already in the serialiser's
// compact form (every body the weather core writes) is spliced into the text as it is; any
// other body is parsed and the whole reply serialised. Throws only what serialising throws.
std::string reply_text(const nlohmann::json& id, const std::string& operation,
                       const std::string& argument, const OperationRunner& run);

// Compact text with keys in ascending byte order and raw UTF-8; throws the JSON library's
// type error for a string that is not valid UTF-8.
std::string reply_json_text(const nlohmann::json& reply);

}  // namespace bridge
