#include "app/bridge/request_executor.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "base/unicode.h"
#include "weather/text.h"

namespace bridge {

ReplyText encode_reply(std::string utf8) {
#if defined(_WIN32)
    std::optional<std::u16string> utf16 = base::utf8_to_utf16(utf8);
    if (!utf16) {
        throw std::runtime_error("A reply is not UTF-8");
    }
    return std::move(*utf16);
#else
    return utf8;
#endif
}

void run_request(AsyncState& state, const PageRequest& request,
                 const OperationRunner& run) noexcept {
    try {
        (void)state.hand_over(
            encode_reply(reply_text(request.id, request.operation, request.argument, run)));
    } catch (...) {
        // Out of memory while forming the reply: the request ends without one, but its slot
        // is still released below.
    }
    // Released only after the reply is queued, so the count covers a request until then.
    release_slot(state.active_requests);
}

}  // namespace bridge
