// Arbitrary sender URIs and message texts through the page bridge's checks: never a crash,
// in-flight slots always balance, and every immediate reply can be serialised.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/bridge/async_state.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"
#include "app/win32/page_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the slots already taken and, for one value in four, a sender
    // made of the input's first half instead of the page.
    const std::int32_t taken = data[0] % 10;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool from_page = data[0] % 4 != 0;
    const std::string source = from_page ? std::string(win32_host::page_prefix) + "index.html"
                                         : std::string(input.substr(0, input.size() / 2));
    const std::string_view message = from_page ? input : input.substr(input.size() / 2);

    std::atomic<std::int32_t> active_requests{taken};
    const auto reply = bridge::accept_web_message(
        source, message, active_requests,
        [&](bridge::PageRequest&& request) {
            if (!request.id.is_string() && !request.id.is_number_integer()) {
                std::abort();
            }
            bridge::release_slot(active_requests);
        },
        win32_host::page_prefix);
    if (reply) {
        (void)bridge::reply_json_text(*reply);
    }
    if (active_requests.load() != taken) {
        std::abort();
    }
    return 0;
}
