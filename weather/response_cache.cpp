#include "weather/response_cache.h"

#include <algorithm>

namespace weather {

void ResponseCache::Entries::erase(std::map<std::string, CachedResponse>::iterator entry) {
    body_bytes -= entry->second.response.body.size();
    by_key.erase(entry);
}

void ResponseCache::Entries::erase_oldest() {
    // min_element keeps the first of equal elements, which is the first in key order.
    erase(std::min_element(by_key.begin(), by_key.end(), [](const auto& a, const auto& b) {
        return a.second.stored_at < b.second.stored_at;
    }));
}

void ResponseCache::Entries::erase_stale(TimePoint now) {
    for (auto entry = by_key.begin(); entry != by_key.end();) {
        const auto current = entry++;
        if (now - current->second.stored_at >= current->second.lifetime) {
            erase(current);
        }
    }
}

std::optional<Response> ResponseCache::find_fresh(const std::string& key, TimePoint now) {
    return entries.with_lock([&](Entries& stored) -> std::optional<Response> {
        stored.erase_stale(now);
        const auto found = stored.by_key.find(key);
        if (found == stored.by_key.end()) {
            return std::nullopt;
        }
        Response copy = copy_with_room(found->second.response);
        copy.origin = BodyOrigin::cache;
        return copy;
    });
}

void ResponseCache::store(const std::string& key, TimePoint now, std::chrono::nanoseconds lifetime,
                          Response response) {
    entries.with_lock([&](Entries& stored) {
        stored.erase_stale(now);
        if (stored.by_key.size() >= capacity) {
            stored.erase_oldest();
        }
        if (const auto previous = stored.by_key.find(key); previous != stored.by_key.end()) {
            stored.erase(previous);
        }
        const std::size_t bytes = response.body.size();
        if (bytes > byte_budget) {
            return;
        }
        while (stored.body_bytes + bytes > byte_budget) {
            stored.erase_oldest();
        }
        stored.by_key.emplace(key, CachedResponse{now, lifetime, std::move(response)});
        stored.body_bytes += bytes;
    });
}

std::size_t ResponseCache::size() const {
    return entries.with_lock([](const Entries& stored) { return stored.by_key.size(); });
}

}  // namespace weather
