#pragma once

#include <string>

#include "app/bridge/async_state.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"

namespace bridge {

// The serialised UTF-8 reply in the form the host's view takes (see ReplyText). Throws
// std::runtime_error for text that is not UTF-8, which a serialised reply never is.
ReplyText encode_reply(std::string utf8);

// Body of one request's worker thread: forms the reply with `run`, hands it to the state's
// queue while the reply path is open, then gives the slot back. The worker holds a share of
// the state and copies of the request, nothing of the application, its window or its view.
// Nothing escapes.
void run_request(AsyncState& state, const PageRequest& request,
                 const OperationRunner& run) noexcept;

}  // namespace bridge
