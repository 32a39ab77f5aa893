#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "weather/fetch.h"
#include "weather/http_client.h"
#include "weather/operations.h"

namespace weather::testing {

enum class Step { none, open_session, connect, open_request, send, query_status, read };

// One scripted answer of the fake client.
struct Exchange {
    std::int32_t status = 200;
    std::vector<std::string> chunks;  // handed out by successive reads
    Step fail_at = Step::none;        // a failing read happens after all chunks were read
    std::uint32_t error_code = 12002;
    std::chrono::milliseconds delay{0};   // spent inside send()
    std::function<void()> on_send;        // called inside send(), on the requesting thread
    std::optional<std::string> location;  // the Location header
    bool times_out = false;               // the failing step was ended by the deadline

    static Exchange ok(std::string body, std::int32_t status = 200);
    static Exchange failure(Step step, std::uint32_t code = 12002);
    static Exchange with_status(std::int32_t status) { return ok({}, status); }
    static Exchange redirect(std::string location, std::int32_t status = 301);
    // A step ended by the deadline: it fails at once with the time-out code 12002.
    static Exchange deadline_at(Step step);
};

// What the client saw of one request.
struct SeenRequest {
    std::string host;
    std::uint16_t port = 0;
    std::string object_name;
    std::vector<Step> steps;  // in the order they were called
    Deadline deadline;        // given to start_exchange
};

// An HttpClient that plays scripted exchanges per URL (the last one repeats) and records every
// request. Unknown URLs answer 404. Thread-safe, as the point operation fetches in parallel.
class ScriptedClient : public HttpClient {
public:
    // Answers for `url` (an https URL as the transport will crack it).
    ScriptedClient& on(const std::string& url, std::vector<Exchange> exchanges);
    ScriptedClient& on(const std::string& url, Exchange exchange) {
        return on(url, std::vector<Exchange>{std::move(exchange)});
    }

    // Makes every exchange fail at `step`, which must come before the request is opened
    // (open_session or connect), whatever its URL.
    ScriptedClient& fail_every_exchange_at(Step step, std::uint32_t code);

    // Answers every request with what `answer` gives for its host and object name (path and
    // query), instead of the script. Called on the requesting threads.
    using Answerer = std::function<Exchange(const std::string& host, const std::string& object)>;
    ScriptedClient& answer_with(Answerer answer);

    std::unique_ptr<HttpExchange> start_exchange(Deadline deadline) const override;

    std::vector<SeenRequest> requests() const;
    std::size_t request_count() const { return requests().size(); }
    // Requests whose host and object name match `url`.
    std::size_t requests_for(const std::string& url) const;
    // Exchanges started but not yet destroyed; 0 once every handle was closed.
    int open_exchanges() const;

private:
    friend class ScriptedExchange;
    static std::string key_of(const std::string& host, const std::string& object_name);
    static std::string key_of_url(const std::string& url);
    Exchange next_answer(const std::string& host, const std::string& object_name) const;
    void record(std::size_t index, Step step) const;
    std::size_t begin_request(Deadline deadline) const;
    void set_target(std::size_t index, const std::string& host, std::uint16_t port) const;
    void set_object(std::size_t index, const std::string& object_name) const;
    void exchange_closed() const;

    mutable std::mutex mutex;
    Exchange early_failure;
    Answerer answerer;
    std::map<std::string, std::vector<Exchange>> script;
    mutable std::map<std::string, std::size_t> served;
    mutable std::vector<SeenRequest> seen;
    mutable int open_count = 0;
};

// A steady clock the test moves by hand.
class FakeClock {
public:
    std::chrono::steady_clock::time_point now() const {
        std::lock_guard lock(mutex);
        return current;
    }
    void advance(std::chrono::nanoseconds step) {
        std::lock_guard lock(mutex);
        current += step;
    }

private:
    mutable std::mutex mutex;
    std::chrono::steady_clock::time_point current{std::chrono::hours(1000)};
};

// Records the pauses the transport asks for instead of sleeping.
class PauseRecorder {
public:
    std::function<void(std::chrono::milliseconds)> function() {
        return [this](std::chrono::milliseconds pause) {
            std::lock_guard lock(mutex);
            pauses.push_back(pause);
        };
    }
    std::vector<std::chrono::milliseconds> recorded() const {
        std::lock_guard lock(mutex);
        return pauses;
    }

private:
    mutable std::mutex mutex;
    std::vector<std::chrono::milliseconds> pauses;
};

}  // namespace weather::testing

namespace weather {

// The tests' view of a service's cache (a friend of WeatherService).
struct WeatherServiceProbe {
    static std::size_t cached_responses(const WeatherService& service) {
        return service.responses.size();
    }
};

}  // namespace weather

namespace weather::testing {

// How many responses `service` keeps.
inline std::size_t cached_responses(const WeatherService& service) {
    return WeatherServiceProbe::cached_responses(service);
}

// Reads a document of the project's test data (tests/data/...).
std::string test_document(const std::string& relative_path);

// Scripts `client` to answer every known request of tests/data/routes.json as the fake
// services do, redirects included.
void answer_from_routes(ScriptedClient& client);

}  // namespace weather::testing
