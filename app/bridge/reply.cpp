#include "app/bridge/reply.h"

#include <exception>
#include <optional>
#include <utility>

#include "weather/canonical_json.h"

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

std::string reply_text(const nlohmann::json& id, const std::string& operation,
                       const std::string& argument, const OperationRunner& run) {
    nlohmann::json failure_reply;
    auto response = run_guarded(id, operation, argument, run, failure_reply);
    if (!response) {
        return reply_json_text(failure_reply);
    }
    // Bodies the core has just written are in the compact form by construction; any other (from
    // the cache, or whatever else a runner hands back) is checked before it is taken as it is.
    if (response->origin != weather::BodyOrigin::serialiser &&
        !weather::is_canonical_json(response->body)) {
        return reply_json_text(reply_to(id, *response));
    }
    return spliced_reply_text(std::move(response->body), id, response->status);
}

}  // namespace bridge
