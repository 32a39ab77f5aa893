#pragma once

#include <array>
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
inline constexpr char unsupported_operation_error[] = "Unsupported weather operation";

// What one operation answered, and whether a product of it failed (see Operation::keeps_partial).
struct OperationOutcome {
    Response response;
    bool partial = false;
};

// One operation a page may ask for: its name, what runs it, how long a successful reply of it
// is answered from the cache and whether a reply with a failed product is kept too.
struct Operation {
    std::string_view name;
    OperationOutcome (*run)(const FetchContext& transport, const std::string& argument);
    std::chrono::seconds lifetime;
    bool keeps_partial;
};

// Every operation, the one list behind the dispatcher, the bridge's name check and the README.
extern const std::array<Operation, 12> operations;

// The operation named exactly (case-sensitive: "Alerts" and "alerts " are none), or null.
const Operation* find_operation(std::string_view name);
inline bool is_operation(std::string_view name) {
    return find_operation(name) != nullptr;
}

// How long a successful response of `operation` is answered from the cache.
std::chrono::seconds cache_lifetime(std::string_view operation);

// The operations behind one response cache. The program has one (see run_operation);
// tests build their own around a scripted client and clock.
class WeatherService {
public:
    using SteadyClock = std::function<ResponseCache::TimePoint()>;

    explicit WeatherService(
        FetchContext transport, SteadyClock clock = [] { return std::chrono::steady_clock::now(); },
        std::size_t cache_byte_budget = ResponseCache::default_byte_budget);

    // The response to (operation, argument): fresh from the cache, or from the services. Turns
    // every failure of an operation into an error response; thread-safe.
    Response run_operation(const std::string& operation, const std::string& argument);

private:
    friend struct WeatherServiceProbe;  // the tests' view of the cache

    FetchContext transport;
    SteadyClock clock;
    ResponseCache responses;
};

// The program's single entry to the weather service: the process-wide WeatherService over the
// platform's HTTP client. Throws only for faults outside the operations (allocation, mutex).
Response run_operation(const std::string& operation, const std::string& argument);

}  // namespace weather
