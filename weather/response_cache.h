#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "weather/guarded.h"
#include "weather/response.h"

namespace weather {

// Recent successful responses by "operation:argument", bounded and oldest-first evicted.
// Thread-safe; its lock is never held while an operation runs.
class ResponseCache {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::size_t capacity = 128;

    // A copy of the response stored under `key` if it is younger than `lifetime` at `now`;
    // an entry exactly as old as its lifetime is stale (and stays until replaced or evicted).
    std::optional<Response> find_fresh(const std::string& key, TimePoint now,
                                       std::chrono::nanoseconds lifetime) const;

    // Stores `response` under `key` at `now`. When full, first removes the entry stored
    // longest ago (the first in key order among equal times), even if `key` is present.
    void store(const std::string& key, TimePoint now, Response response);

    std::size_t size() const;

private:
    struct CachedResponse {
        TimePoint stored_at;
        Response response;
    };
    Guarded<std::map<std::string, CachedResponse>> entries;
};

}  // namespace weather
