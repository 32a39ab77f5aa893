#include "app/bridge/async_state.h"

#include <utility>

namespace bridge {

void AsyncState::open(ReplySink& sink) {
    path.with_lock([&](ReplyPath& reply_path) { reply_path.sink = &sink; });
}

bool AsyncState::hand_over(ReplyText reply) {
    return path.with_lock([&](ReplyPath& reply_path) {
        if (reply_path.sink == nullptr) {
            return false;
        }
        reply_path.replies.push_back(std::move(reply));
        // One wake-up per emptied queue: the UI thread takes everything queued until then.
        if (reply_path.replies.size() == 1 && !reply_path.sink->ring()) {
            reply_path.replies.pop_back();
            return false;
        }
        return true;
    });
}

std::deque<ReplyText> AsyncState::take_replies() {
    return path.with_lock(
        [](ReplyPath& reply_path) { return std::exchange(reply_path.replies, {}); });
}

void AsyncState::close() {
    closing.exchange(true);
    // Freed here, once the lock is let go.
    const std::deque<ReplyText> dropped = path.with_lock([](ReplyPath& reply_path) {
        reply_path.sink = nullptr;
        return std::exchange(reply_path.replies, {});
    });
}

bool AsyncState::is_open() const {
    return path.with_lock([](const ReplyPath& reply_path) { return reply_path.sink != nullptr; });
}

}  // namespace bridge
