#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "base/guarded.h"

namespace bridge {

inline constexpr std::int32_t max_requests_in_flight = 8;

// A host's end of the reply path: how it wakes its UI thread when replies wait.
class ReplySink {
public:
    // Any worker, under the state's lock, when a reply arrives in an empty queue: asks the UI
    // thread to call AsyncState::take_replies soon. The wake-up carries nothing, so a foreign
    // or repeated one is harmless. False when it could not be sent; that reply is then dropped.
    virtual bool request_delivery() noexcept = 0;

protected:
    ~ReplySink() = default;
};

// State shared by the UI thread, the request workers and pending view-creation handlers, always
// held through a shared pointer. Finished replies wait in its own queue until the UI thread
// takes them, so a reply text never has any owner but the queue and then the UI thread.
// ReplyText is one serialised reply as the host's browser view takes it (see encode_reply).
template <typename ReplyText>
class AsyncState {
public:
    std::atomic<std::int32_t> active_requests{0};
    std::atomic<bool> closing{false};

    // UI thread, before any request can arrive: replies go to `sink` from now on.
    void open(ReplySink& sink) {
        path.with_lock([&](ReplyPath& reply_path) { reply_path.sink = &sink; });
    }

    // Any worker: queues a finished reply while the path is open and wakes the sink; false when
    // the reply was dropped (closed, or the wake-up failed).
    bool hand_over(ReplyText reply) {
        return path.with_lock([&](ReplyPath& reply_path) {
            if (reply_path.sink == nullptr) {
                return false;
            }
            reply_path.replies.push_back(std::move(reply));
            // One wake-up per emptied queue: the UI thread takes everything queued until then.
            if (reply_path.replies.size() == 1 && !reply_path.sink->request_delivery()) {
                reply_path.replies.pop_back();
                return false;
            }
            return true;
        });
    }

    // UI thread: the replies queued so far, oldest first; none once closed.
    std::deque<ReplyText> take_replies() {
        return path.with_lock(
            [](ReplyPath& reply_path) { return std::exchange(reply_path.replies, {}); });
    }

    // UI thread: the reply path's shutdown, the same for both hosts. `closing` is set, then no
    // reply is queued any more, whatever a worker finishes with, and the queued ones are freed
    // undelivered. Safe to repeat.
    void close() {
        closing.exchange(true);
        // Freed here, once the lock is let go.
        const std::deque<ReplyText> dropped = path.with_lock([](ReplyPath& reply_path) {
            reply_path.sink = nullptr;
            return std::exchange(reply_path.replies, {});
        });
    }

private:
    struct ReplyPath {
        ReplySink* sink = nullptr;
        std::deque<ReplyText> replies;
    };
    base::Guarded<ReplyPath> path;
};

// UI thread only: reserves one of the in-flight slots, or answers false when all are taken.
// Never blocks.
[[nodiscard]] inline bool try_reserve_slot(std::atomic<std::int32_t>& active_requests) {
    if (active_requests.fetch_add(1) >= max_requests_in_flight) {
        active_requests.fetch_sub(1);
        return false;
    }
    return true;
}

// Any thread: gives a reserved slot back.
inline void release_slot(std::atomic<std::int32_t>& active_requests) {
    active_requests.fetch_sub(1);
}

}  // namespace bridge
