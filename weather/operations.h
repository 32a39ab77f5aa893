#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "weather/fetch.h"
#include "weather/response.h"
#include "weather/response_cache.h"

namespace weather {

inline constexpr std::size_t max_argument_bytes = 96;
inline constexpr std::chrono::seconds pilot_reports_lifetime{180};
inline constexpr std::chrono::seconds hazards_lifetime{180};
inline constexpr std::chrono::seconds zone_lifetime{6 * 3600};  // zone lines rarely move
inline constexpr std::chrono::seconds default_lifetime{300};
// The bulletins are issued four times a day.
inline constexpr std::chrono::seconds winds_lifetime{1800};

// How long a successful response of `operation` is answered from the cache.
std::chrono::seconds cache_lifetime(std::string_view operation);

// The operations behind one response cache. The program has one (see run_operation);
// tests build their own around a scripted client and clock.
class WeatherService {
public:
    using SteadyClock = std::function<ResponseCache::TimePoint()>;

    explicit WeatherService(
        Transport transport, SteadyClock clock = [] { return std::chrono::steady_clock::now(); },
        std::size_t cache_byte_budget = ResponseCache::default_byte_budget);

    // The response to (operation, argument): fresh from the cache, or from the services. Turns
    // every failure of an operation into an error response; thread-safe.
    Response run_operation(const std::string& operation, const std::string& argument);

    const ResponseCache& cache() const { return responses; }

private:
    // An operation's response and whether a 200 of it may be kept.
    struct Outcome {
        Response response;
        bool cacheable = true;
    };
    Outcome run_uncached(const std::string& operation, const std::string& argument);

    Transport transport;
    SteadyClock clock;
    ResponseCache responses;
};

// The program's single entry to the weather service: the process-wide WeatherService over the
// platform's HTTP client. Throws only for faults outside the operations (allocation, mutex).
Response run_operation(const std::string& operation, const std::string& argument);

}  // namespace weather
