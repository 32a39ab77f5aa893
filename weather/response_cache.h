#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "base/guarded.h"
#include "weather/response.h"

namespace weather {

// Recent successful responses by "operation:argument": at most 128 of them and 64 MiB of
// bodies, the oldest evicted first, each dropped once it is stale. Thread-safe; its lock is
// never held while an operation runs.
class ResponseCache {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::size_t capacity = 128;
    static constexpr std::size_t default_byte_budget = std::size_t{64} * 1024 * 1024;

    explicit ResponseCache(std::size_t byte_budget = default_byte_budget)
        : byte_budget(byte_budget) {}

    // A copy (copy_with_room) of the response stored under `key` if it is younger than its
    // lifetime at `now`, marked as the cache's (BodyOrigin::cache); an entry exactly as old as
    // its lifetime is stale. Every stale entry is dropped first.
    std::optional<Response> find_fresh(const std::string& key, TimePoint now);

    // Stores `response` under `key` at `now`, fresh for `lifetime`, after dropping every stale
    // entry. When 128 entries are held, first removes the one stored longest ago (the first in
    // key order among equal times), even if `key` is present; then the older entry of `key`
    // goes, and more of the oldest until the bodies fit the byte budget. A body larger than
    // the whole budget is not stored.
    void store(const std::string& key, TimePoint now, std::chrono::nanoseconds lifetime,
               Response response);

    std::size_t size() const;

private:
    struct CachedResponse {
        TimePoint stored_at;
        std::chrono::nanoseconds lifetime;
        Response response;
    };
    // The entries and the sum of their body sizes, kept together under one lock.
    struct Entries {
        std::map<std::string, CachedResponse> by_key;
        std::size_t body_bytes = 0;

        void erase(std::map<std::string, CachedResponse>::iterator entry);
        void erase_oldest();
        void erase_stale(TimePoint now);
    };

    const std::size_t byte_budget;
    base::Guarded<Entries> entries;
};

}  // namespace weather
