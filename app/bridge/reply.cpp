#include "app/bridge/reply.h"

#include <exception>
#include <optional>

#include "base/unicode.h"
#include "weather/canonical_json.h"
#include "weather/text.h"

namespace bridge {
namespace {

// The operation's response, or the 500 reply for an exception it raised.
std::optional<weather::Response> run_guarded(const nlohmann::json& id, const std::string& operation,
                                             const std::string& argument,
                                             const OperationRunner& run,
                                             nlohmann::json& failure_reply) {
    try {
        return run(operation, argument);
    } catch (const std::exception& failure) {
        failure_reply = make_reply(id, 500, error_body(failure.what()));
        return std::nullopt;
    }
}

nlohmann::json reply_to(const nlohmann::json& id, const weather::Response& response) {
    try {
        return make_reply(id, response.status,
                          nlohmann::json::parse(response.body, nullptr, true, false));
    } catch (const std::exception& failure) {
        return make_reply(id, 500, error_body(failure.what()));
    }
}

}  // namespace

nlohmann::json make_reply(nlohmann::json id, int status, nlohmann::json body) {
    return {{"body", std::move(body)}, {"id", std::move(id)}, {"status", status}};
}

nlohmann::json error_body(std::string_view text) {
    return {{"error", base::valid_utf8(text)}};
}

std::string reply_text(const nlohmann::json& id, const std::string& operation,
                       const std::string& argument, const OperationRunner& run) {
    nlohmann::json failure_reply;
    auto response = run_guarded(id, operation, argument, run, failure_reply);
    if (!response) {
        return reply_json_text(failure_reply);
    }
    if (!weather::is_canonical_json(response->body)) {
        return reply_json_text(reply_to(id, *response));
    }
    // The keys in the order the serialiser sorts them: body, id, status. Written around the body
    // in its own buffer, which the service's copies leave room for (weather::copy_with_room), so
    // a body of megabytes is not copied again beside the cache's.
    std::string text = std::move(response->body);
    text.insert(0, "{\"body\":");
    text.append(",\"id\":").append(weather::to_compact_json(id));
    text.append(",\"status\":").append(std::to_string(response->status)).append("}");
    return text;
}

std::string reply_json_text(const nlohmann::json& reply) {
    return weather::to_compact_json(reply);
}

}  // namespace bridge
