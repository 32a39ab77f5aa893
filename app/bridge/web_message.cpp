#include "app/bridge/web_message.h"

#include <exception>

#include "app/bridge/async_state.h"
#include "app/bridge/json_text.h"
#include "app/bridge/reply.h"
#include "weather/canonical_json.h"
#include "weather/operations.h"

namespace bridge {
namespace {

constexpr char zero_byte_error[] = "Web message contains a 0 byte";
constexpr char too_deep_error[] = "Web message is nested more than 256 levels deep";
static_assert(weather::max_json_depth == 256, "the text above names the limit");

// A present member must be a string (the library's type error otherwise); missing is empty.
std::string string_member(const nlohmann::json& message, const char* key) {
    const auto found = message.find(key);
    return found == message.end() ? std::string{} : found->get<std::string>();
}

}  // namespace

std::optional<nlohmann::json> accept_web_message(std::string_view source_uri,
                                                 std::string_view message_json,
                                                 std::atomic<std::int32_t>& active_requests,
                                                 const WorkerStart& start_worker,
                                                 std::string_view page_origin) {
    // Cheap checks first, so foreign or oversized messages cost no parsing.
    if (!source_uri.starts_with(page_origin) || message_json.size() > max_message_bytes) {
        return std::nullopt;
    }

    // Checked before parsing, as for the services' documents: the page never sends such text.
    switch (weather::json_text_fault(message_json)) {
        case weather::JsonTextFault::none:
            break;
        case weather::JsonTextFault::zero_byte:
            return make_reply(nullptr, 400, error_body(zero_byte_error));
        case weather::JsonTextFault::too_deep:
            return make_reply(nullptr, 400, error_body(too_deep_error));
    }

    nlohmann::json id;  // null until read
    try {
        const nlohmann::json message = nlohmann::json::parse(
            with_lone_surrogates_replaced(message_json), nullptr, true, false);
        if (!message.is_object()) {
            return std::nullopt;
        }
        const auto found_id = message.find("id");
        if (found_id == message.end() ||
            !(found_id->is_string() || found_id->is_number_integer())) {
            return std::nullopt;
        }
        if (weather::to_compact_json(*found_id).size() > max_id_bytes) {
            return std::nullopt;
        }
        id = *found_id;

        PageRequest request{id, string_member(message, "operation"),
                            string_member(message, "argument")};
        if (!weather::is_operation(request.operation)) {
            return make_reply(id, 400, error_body(weather::unsupported_operation_error));
        }
        if (!try_reserve_slot(active_requests)) {
            return make_reply(id, 429, error_body(busy_error));
        }
        try {
            start_worker(std::move(request));
        } catch (...) {
            release_slot(active_requests);
            throw;
        }
        return std::nullopt;
    } catch (const std::exception& failure) {
        return make_reply(id, 400, error_body(failure.what()));
    }
}

}  // namespace bridge
