#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace bridge {

inline constexpr std::int32_t max_requests_in_flight = 8;

// State shared by the UI thread, the request workers and pending view-creation handlers,
// always held through a shared pointer. `mutex` guards `window` only.
template <typename Window>
struct BasicAsyncState {
    std::mutex mutex;
    Window window{};  // where replies go; empty once the window has begun to close
    std::atomic<std::int32_t> active_requests{0};
    std::atomic<bool> closing{false};
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
