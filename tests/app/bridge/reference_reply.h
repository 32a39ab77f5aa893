#pragma once

#include <exception>
#include <string>

#include "app/bridge/reply.h"

namespace bridge {

// The reference form of reply_text, built as a JSON value: the operation's status and its body
// parsed as JSON, or 500 with the text of any exception raised on the way.
inline nlohmann::json finished_reply(const nlohmann::json& id, const std::string& operation,
                                     const std::string& argument, const OperationRunner& run) {
    try {
        const weather::Response response = run(operation, argument);
        return make_reply(id, response.status,
                          nlohmann::json::parse(response.body, nullptr, true, false));
    } catch (const std::exception& failure) {
        return make_reply(id, 500, error_body(failure.what()));
    }
}

}  // namespace bridge
