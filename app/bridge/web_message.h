#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace bridge {

inline constexpr std::size_t max_message_bytes = 2048;
inline constexpr std::size_t max_id_bytes = 100;
inline constexpr char busy_error[] = "Weather requests are busy. Try again in a moment.";

// One accepted page request, copied out of its message.
struct PageRequest {
    nlohmann::json id;
    std::string operation;
    std::string argument;
};

// Starts a worker that owns `request` and its reply from then on, or throws std::exception.
using WorkerStart = std::function<void(PageRequest&& request)>;

// Checks one web message from the page (its sender's URI and its JSON text, both UTF-8) and
// either hands it to `start_worker` after reserving an in-flight slot, or returns the reply to
// post at once (400 with a null id for text that is not one JSON value of at most 256 levels).
// Returns nothing for a message that is ignored (sender outside `page_origin`, the prefix every
// address of the host's page starts with; over 2048 bytes,
// not an object, no usable id) or handed over. UI thread only; never throws an exception of its own
// checks.
std::optional<nlohmann::json> accept_web_message(std::string_view source_uri,
                                                 std::string_view message_json,
                                                 std::atomic<std::int32_t>& active_requests,
                                                 const WorkerStart& start_worker,
                                                 std::string_view page_origin);

}  // namespace bridge
