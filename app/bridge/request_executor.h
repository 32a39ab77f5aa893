#pragma once

#include <string>

#include "app/bridge/async_state.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"

namespace bridge {

// The serialised UTF-8 reply in the form a host's view takes: UTF-16 for WebView2, the text
// itself for WebKitGTK. Throws std::runtime_error for text that is not UTF-8, which a serialised
// reply never is.
template <typename ReplyText>
ReplyText encode_reply(std::string utf8);
template <>
std::u16string encode_reply<std::u16string>(std::string utf8);
template <>
std::string encode_reply<std::string>(std::string utf8);

// Body of one request's worker thread: forms the reply with `run`, hands it to the state's
// queue while the reply path is open, then gives the slot back. The worker holds a share of
// the state and copies of the request, nothing of the application, its window or its view.
// Nothing escapes.
template <typename ReplyText>
void run_request(AsyncState<ReplyText>& state, const PageRequest& request,
                 const OperationRunner& run) noexcept {
    try {
        (void)state.hand_over(encode_reply<ReplyText>(
            reply_text(request.id, request.operation, request.argument, run)));
    } catch (...) {
        // Out of memory while forming the reply: the request ends without one, but its slot
        // is still released below.
    }
    // Released only after the reply is queued, so the count covers a request until then.
    release_slot(state.active_requests);
}

}  // namespace bridge
