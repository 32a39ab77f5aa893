#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "app/bridge/json_text.h"
#include "weather/response.h"

namespace bridge {

using OperationRunner =
    std::function<weather::Response(const std::string& operation, const std::string& argument)>;

// The serialised reply to a finished request: the operation's status and its body, or status
// 500 with the text of any exception raised on the way. A body the weather core has just
// written (BodyOrigin::serialiser), or any other found to be in the serialiser's compact form,
// is spliced into the text as it is; any other body is parsed and the whole reply serialised.
// Throws only what serialising throws.
std::string reply_text(const nlohmann::json& id, const std::string& operation,
                       const std::string& argument, const OperationRunner& run);

}  // namespace bridge
