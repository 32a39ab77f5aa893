#include "app/bridge/reply.h"

#include <exception>

#include "weather/text.h"

namespace bridge {

nlohmann::json make_reply(nlohmann::json id, int status, nlohmann::json body) {
    return {{"body", std::move(body)}, {"id", std::move(id)}, {"status", status}};
}

nlohmann::json error_body(std::string_view text) {
    return {{"error", weather::valid_utf8(text)}};
}

nlohmann::json finished_reply(const nlohmann::json& id, const std::string& operation,
                              const std::string& argument, const OperationRunner& run) {
    nlohmann::json reply = {{"id", id}};
    try {
        const weather::Response response = run(operation, argument);
        reply["status"] = response.status;
        reply["body"] = nlohmann::json::parse(response.body, nullptr, true, false);
    } catch (const std::exception& failure) {
        reply["status"] = 500;
        reply["body"] = error_body(failure.what());
    }
    return reply;
}

std::string serialise_reply(const nlohmann::json& reply) {
    return weather::to_compact_json(reply);
}

}  // namespace bridge
