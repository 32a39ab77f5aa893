#include "weather/response_cache.h"

#include <algorithm>

namespace weather {

std::optional<Response> ResponseCache::find_fresh(const std::string& key, TimePoint now,
                                                  std::chrono::nanoseconds lifetime) const {
    return entries.with_lock([&](const auto& map) -> std::optional<Response> {
        const auto found = map.find(key);
        if (found == map.end() || now - found->second.stored_at >= lifetime) {
            return std::nullopt;
        }
        return found->second.response;
    });
}

void ResponseCache::store(const std::string& key, TimePoint now, Response response) {
    entries.with_lock([&](auto& map) {
        if (map.size() >= capacity) {
            // min_element keeps the first of equal elements, which is the first in key order.
            const auto oldest =
                std::min_element(map.begin(), map.end(), [](const auto& a, const auto& b) {
                    return a.second.stored_at < b.second.stored_at;
                });
            map.erase(oldest);
        }
        map.insert_or_assign(key, CachedResponse{now, std::move(response)});
    });
}

std::size_t ResponseCache::size() const {
    return entries.with_lock([](const auto& map) { return map.size(); });
}

}  // namespace weather
