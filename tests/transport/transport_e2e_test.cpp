// The platform's HTTP client (WinHTTP on Windows, libcurl on Linux) against the fake weather
// services, run by tools/run_isolated.sh in a network namespace where both service
// hosts are the fake ones and trust only its CA.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include "transport/winhttp_client.h"
#endif
#include "tests/weather/scripted_client.h"
#include "weather/fetch.h"
#include "weather/operations.h"
#include "weather/services.h"

namespace {

using nlohmann::json;
using weather::testing::Exchange;
using weather::testing::PauseRecorder;
using weather::testing::ScriptedClient;
using weather::testing::Step;
using weather::testing::test_document;

constexpr char log_variable[] = "CORVANE_FAKE_SERVICES_LOG";

// What the fake services saw, read from the log file the harness names.
class RequestLog {
public:
    RequestLog() {
        const char* unix_path = std::getenv(log_variable);
        if (unix_path && *unix_path == '/') {
#if defined(_WIN32)
            // Wine shows the Unix root as drive Z:.
            path = std::string("Z:") + unix_path;
            std::replace(path.begin(), path.end(), '/', '\\');
#else
            path = unix_path;
#endif
        }
    }

    bool available() const {
        return !path.empty();
    }

    std::vector<json> records() const {
        std::vector<json> result;
        std::ifstream file(path);
        for (std::string line; std::getline(file, line);) {
            result.push_back(json::parse(line));
        }
        return result;
    }

    std::size_t mark() const {
        return records().size();
    }

    // The records written since `mark`.
    std::vector<json> since(std::size_t mark) const {
        std::vector<json> all = records();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(mark, all.size())), all.end()};
    }

private:
    std::string path;
};

// Unique within a run of the services, which count attempts per path.
std::string unique_id() {
    static const auto start = std::chrono::steady_clock::now().time_since_epoch().count();
    static std::atomic<int> counter{0};
    return std::to_string(start) + "-" + std::to_string(++counter);
}

// Whether `error` is the client's failure text for `text` with the platform error `code`,
// followed by ": " and the URL.
bool is_client_failure(const std::string& error, const std::string& text, std::uint32_t code,
                       const std::string& url) {
#if defined(_WIN32)
    return error == transport::with_windows_error(text, code) + ": " + url;
#else
    const std::string start = text + " (curl error " + std::to_string(code) + ": ";
    const std::string end = "): " + url;
    return error.starts_with(start) && error.ends_with(end) &&
           error.size() > start.size() + end.size();
#endif
}

std::string with_id(std::string url, const std::string& id) {
    const std::size_t at = url.find("{id}");
    if (at != std::string::npos) {
        url.replace(at, 4, id);
    }
    return url;
}

// What fetch_json gave: a value, or the text of its exception.
struct Outcome {
    std::optional<json> value;
    std::string error;

    bool operator==(const Outcome&) const = default;
    friend void PrintTo(const Outcome& outcome, std::ostream* out) {
        *out << (outcome.value ? "value " + outcome.value->dump()
                               : "error \"" + outcome.error + "\"");
    }
};

Outcome fetch(const weather::FetchContext& transport, const std::string& url,
              bool allow_no_content) {
    try {
        return {weather::fetch_json(transport, url, allow_no_content), {}};
    } catch (const std::runtime_error& failure) {
        return {std::nullopt, failure.what()};
    }
}

std::vector<std::string> header_values(const json& record, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& header : record.at("headers")) {
        std::string key = header.at(0).get<std::string>();
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (key == name) {
            values.push_back(header.at(1).get<std::string>());
        }
    }
    return values;
}

class TransportEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log.available())
            << log_variable << " is not set: run this program through "
            << "tools/run_isolated.sh (ctest does), never against the real services";
    }

    const weather::HttpClient& client = weather::platform_http_client();
    // The real 350 ms pause; the rows on the NWS host are the alerts' fetches.
    weather::FetchContext transport = weather::FetchContext{client}.for_operation("alerts");
    RequestLog log;
};

// Rows whose outcome the server decides: the platform client and the scripted client must agree
// on them.
struct AgreementRow {
    std::string name;
    std::string url;  // "{id}" becomes a fresh id, so the server's attempt counter starts at 1
    bool allow_no_content;
    std::vector<Exchange> scripted;  // what the scripted client plays for the same request
    std::optional<json> value;       // expected value, or else
    std::string error;               // expected text before ": " + url
    std::size_t attempts;            // http_get calls
    bool reaches_server;
    std::size_t requests_per_attempt = 1;  // more when redirects are followed
    // More scripted answers for the redirects' targets ("{id}" as in `url`).
    std::vector<std::pair<std::string, std::vector<Exchange>>> scripted_targets = {};
    // The operation the fetch is made for; "" for one of the URL's own host.
    std::string operation = "";
};

// An operation each host's row names, for the rows that do not name one.
std::string_view operation_on(const std::string& url) {
    if (url.find("://aviationweather.gov") != std::string::npos) {
        return "metars";
    }
    if (url.find("://api.avalanche.org") != std::string::npos) {
        return "avalanche";
    }
    return "alerts";
}

// The scripted form of /test/redirect-chain/HOPS/ID: a relative redirect per hop, then a 200.
std::vector<std::pair<std::string, std::vector<Exchange>>> redirect_chain(int hops) {
    std::vector<std::pair<std::string, std::vector<Exchange>>> chain;
    for (int hop = hops; hop > 0; --hop) {
        chain.push_back(
            {"https://api.weather.gov/test/redirect-chain/" + std::to_string(hop) + "/{id}",
             {Exchange::redirect("/test/redirect-chain/" + std::to_string(hop - 1) + "/{id}",
                                 302)}});
    }
    chain.push_back({"https://api.weather.gov/test/redirect-chain/0/{id}",
                     {Exchange::ok(R"({"attempt":1,"status":200})")}});
    return chain;
}

bool is_weather_host(const json& record) {
    const std::string host = record.at("host");
    const std::string name = host.substr(0, host.find(':'));
    return name == weather::nws_api_host || name == weather::aviation_data_host ||
           name == weather::avalanche_api_host;
}

std::string json_array_of(std::size_t bytes) {
    std::string body(bytes, ' ');
    body.front() = '[';
    body.back() = ']';
    return body;
}

TEST_F(TransportEndToEnd, FetchAgreesWithTheScriptedClientOnEveryServerDecidedRow) {
    constexpr char invalid_json[] = "Weather service returned an invalid JSON response";
    const json attempt_two_ok = {{"attempt", 2}, {"status", 200}};
    const json attempt_one_ok = {{"attempt", 1}, {"status", 200}};
    const std::string alerts = weather::active_alerts_url;
    constexpr char unexpected_host[] = "Weather service returned an unexpected host";
    const std::string target = "https://api.weather.gov/test/status/200/{id}-target";
    const std::string other_target = "https://aviationweather.gov/test/status/200/{id}-target";
    // clang-format off
    const std::vector<AgreementRow> rows = {
        {"503 then 200", "https://api.weather.gov/test/status/503,200/{id}", false,
         {Exchange::with_status(503), Exchange::ok(attempt_two_ok.dump())}, attempt_two_ok, "", 2,
         true},
        {"503 then 504", "https://api.weather.gov/test/status/503,504/{id}", false,
         {Exchange::with_status(503), Exchange::with_status(504)}, {},
         "Weather service returned HTTP 504", 2, true},
        {"502 twice", "https://aviationweather.gov/test/status/502/{id}", true,
         {Exchange::with_status(502)}, {}, "Weather service returned HTTP 502", 2, true},
        {"404 once", "https://api.weather.gov/test/status/404,200/{id}", false,
         {Exchange::with_status(404), Exchange::ok(attempt_two_ok.dump())}, {},
         "Weather service returned HTTP 404", 1, true},
        {"500 once", "https://api.weather.gov/test/status/500,200/{id}", false,
         {Exchange::with_status(500), Exchange::ok(attempt_two_ok.dump())}, {},
         "Weather service returned HTTP 500", 1, true},
        {"299 is success", "https://api.weather.gov/test/status/299/{id}", false,
         {Exchange::ok(R"({"attempt":1,"status":299})", 299)},
         json{{"attempt", 1}, {"status", 299}}, "", 1, true},
        {"204 allowed", "https://aviationweather.gov/test/no-content/{id}", true,
         {Exchange::with_status(204)}, json::array(), "", 1, true},
        {"204 with a body allowed", "https://aviationweather.gov/test/no-content/{id}?body=%5B7%5D",
         true, {Exchange::ok("[7]", 204)}, json::array(), "", 1, true},
        {"empty 204 not allowed", "https://api.weather.gov/test/no-content/{id}", false,
         {Exchange::with_status(204)}, {}, invalid_json, 1, true},
        {"exactly 12 MiB", "https://aviationweather.gov/test/bytes/12582912/{id}", true,
         {Exchange::ok(json_array_of(12582912))}, json::array(), "", 1, true},
        {"one byte over 12 MiB", "https://aviationweather.gov/test/bytes/12582913/{id}", true,
         {Exchange::ok(json_array_of(12582913))}, {},
         "Weather response exceeded the 12 MiB size limit", 2, true},
        {"trailing text", "https://api.weather.gov/test/trailing/{id}", false,
         {Exchange::ok(R"({"features": []} trailing text)")}, {}, invalid_json, 1, true},
        {"empty 200", "https://api.weather.gov/test/empty/{id}", false,
         {Exchange::with_status(200)}, {}, invalid_json, 1, true},
        {"redirect to https followed", "https://api.weather.gov/test/redirect-to/https/{id}", false,
         {Exchange::redirect(target)}, attempt_one_ok, "", 1, true, 2,
         {{target, {Exchange::ok(attempt_one_ok.dump())}}}},
        // Each host serves only the operations its row of the allow-list names.
        {"redirect to the other weather host refused",
         "https://api.weather.gov/test/redirect-to-host/aviationweather.gov/{id}", false,
         {Exchange::redirect(other_target, 302)}, {}, unexpected_host, 2, true},
        {"alerts redirected to the avalanche host refused",
         "https://api.weather.gov/test/redirect-to-host/api.avalanche.org/{id}", false,
         {Exchange::redirect("https://api.avalanche.org/test/status/200/{id}-target", 302)}, {},
         unexpected_host, 2, true},
        {"avalanche redirected to the NWS host refused",
         "https://api.avalanche.org/test/redirect-to-host/api.weather.gov/{id}", false,
         {Exchange::redirect(target, 302)}, {}, unexpected_host, 2, true},
        {"avalanche on its own host", "https://api.avalanche.org/test/status/503,200/{id}", false,
         {Exchange::with_status(503), Exchange::ok(attempt_two_ok.dump())}, attempt_two_ok, "", 2,
         true},
        {"an alerts URL on the avalanche host refused",
         "https://api.avalanche.org/test/status/200/{id}", false, {}, {}, unexpected_host, 2,
         false, 1, {}, "alerts"},
        {"an avalanche URL on the NWS host refused", "https://api.weather.gov/test/status/200/{id}",
         false, {}, {}, unexpected_host, 2, false, 1, {}, "avalanche"},
        {"a METAR URL on the avalanche host refused",
         "https://api.avalanche.org/test/status/200/{id}", false, {}, {}, unexpected_host, 2,
         false, 1, {}, "metars"},
        // The foreign host is served and logged like the others: no request may reach it.
        {"redirect to a foreign host refused",
         "https://api.weather.gov/test/redirect-to-host/foreign.example/{id}", false,
         {Exchange::redirect("https://foreign.example/test/status/200/{id}-target", 302)}, {},
         unexpected_host, 2, true},
        {"redirect to a weather host in capitals refused",
         "https://aviationweather.gov/test/redirect-to-host/AVIATIONWEATHER.GOV/{id}", false,
         {Exchange::redirect("https://AVIATIONWEATHER.GOV/test/status/200/{id}-target", 302)}, {},
         unexpected_host, 2, true},
        {"redirect from https to http refused",
         "https://api.weather.gov/test/redirect-to/http/{id}", false,
         {Exchange::redirect("http://api.weather.gov/test/status/200/{id}-target")}, {},
         unexpected_host, 2, true},
        {"ten redirects followed", "https://api.weather.gov/test/redirect-chain/10/{id}", false,
         {}, attempt_one_ok, "", 1, true, 11, redirect_chain(10)},
        {"the eleventh redirect not followed",
         "https://api.weather.gov/test/redirect-chain/11/{id}", false, {}, {},
         "Weather service returned HTTP 302", 1, true, 11, redirect_chain(11)},
        // The clients follow 301, 302, 303, 307 and 308 themselves; other 3xx reach the transport.
        {"3xx not followed", "https://api.weather.gov/test/status/300,200/{id}", false,
         {Exchange::with_status(300), Exchange::ok(attempt_two_ok.dump())}, {},
         "Weather service returned HTTP 300", 1, true},
        {"http scheme", "http://api.weather.gov/test/status/200/{id}", false, {}, {},
         "Invalid HTTPS weather service URL", 2, false},
        {"empty URL", "", false, {}, {}, "Invalid HTTPS weather service URL", 2, false},
        {"host in capitals", "https://API.WEATHER.GOV/test/status/200/{id}", false, {}, {},
         "Weather service returned an unexpected host", 2, false},
        {"host with a trailing dot", "https://api.weather.gov./test/status/200/{id}", false, {}, {},
         "Weather service returned an unexpected host", 2, false},
        {"explicit port", "https://aviationweather.gov:8443/test/status/200/{id}", false,
         {Exchange::ok(attempt_one_ok.dump())}, attempt_one_ok, "", 1, true},
        {"document with a query", alerts, false,
         {Exchange::ok(test_document("nws/alerts_active.json"))},
         json::parse(test_document("nws/alerts_active.json")), "", 1, true},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string id = unique_id();
        const std::string url = with_id(row.url, id);
        const Outcome expected{row.value, row.error.empty() ? "" : row.error + ": " + url};
        const std::size_t requests =
            row.reaches_server ? row.attempts * row.requests_per_attempt : 0u;
        const std::vector<std::chrono::milliseconds> expected_pauses(row.attempts - 1,
                                                                     weather::retry_pause);

        const std::string_view operation =
            row.operation.empty() ? operation_on(url) : std::string_view(row.operation);
        PauseRecorder real_pauses;
        const weather::FetchContext real =
            weather::FetchContext{client, real_pauses.function()}.for_operation(operation);
        const std::size_t mark = log.mark();
        EXPECT_EQ(fetch(real, url, row.allow_no_content), expected);
        const auto seen = log.since(mark);
        EXPECT_EQ(seen.size(), requests);
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), is_weather_host));
        EXPECT_EQ(real_pauses.recorded(), expected_pauses);

        const auto with_ids = [&](std::vector<Exchange> answers) {
            for (auto& answer : answers) {
                if (answer.location) {
                    answer.location = with_id(*answer.location, id);
                }
            }
            return answers;
        };
        ScriptedClient scripted;
        if (!row.scripted.empty()) {
            scripted.on(url, with_ids(row.scripted));
        }
        for (const auto& [target_url, answers] : row.scripted_targets) {
            scripted.on(with_id(target_url, id), with_ids(answers));
        }
        PauseRecorder scripted_pauses;
        const weather::FetchContext scripted_transport =
            weather::FetchContext{scripted, scripted_pauses.function()}.for_operation(operation);
        EXPECT_EQ(fetch(scripted_transport, url, row.allow_no_content), expected);
        EXPECT_EQ(scripted.request_count(), requests);
        EXPECT_EQ(scripted_pauses.recorded(), expected_pauses);
    }
}

// Failures inside the client carry the platform's error code; which code a fault produces is
// the platform's (Wine reports socket codes where Windows has WinHTTP ones). Run in parallel,
// as fetch_json shares nothing between calls, so the two time-outs overlap.
TEST_F(TransportEndToEnd, NetworkFailuresAreRetriedAndCarryThePlatformsErrorCode) {
    struct Row {
        std::string name;
        std::string url;
        std::string text;
        std::vector<std::uint32_t> codes;  // ERROR_WINHTTP_* first, then Wine's; or curl's
        Step failing_step;
        bool reaches_server;
        bool ended_by_deadline = false;  // of a 3 s attempt instead of 60 s
    };
    constexpr std::chrono::seconds short_limit{3};
    // clang-format off
#if defined(_WIN32)
    const Row rows[] = {
        {"nothing listening", "https://api.weather.gov:1/test/status/200/{id}",
         "Weather download failed", {12029}, Step::send, false},
        {"certificate of an unknown CA", "https://api.weather.gov:9443/test/status/200/{id}",
         "Weather download failed", {12175, 12157}, Step::send, false},
        {"connection reset mid-body", "https://api.weather.gov/test/drop/reset/{id}",
         "Weather response was interrupted", {12030, 10054}, Step::read, true},
        // Wine's client waits out the receive time-out for the bytes the length announced.
        {"connection closed mid-body", "https://api.weather.gov/test/drop/close/{id}",
         "Weather response was interrupted", {12030, 10060}, Step::read, true},
        // 20 s: past the 14 s receive time-out, short of WinHTTP's default of 30 s.
        {"body stalled past the receive time-out", "https://api.weather.gov/test/slow/body/20/{id}",
         "Weather response was interrupted", {12002, 10060}, Step::read, true},
        {"headers, then silence past the receive time-out",
         "https://api.weather.gov/test/slow/after-headers/20/{id}",
         "Weather response was interrupted", {12002, 10060}, Step::read, true},
        {"headers later than the receive time-out",
         "https://api.weather.gov/test/slow/headers/20/{id}",
         "Weather download failed", {12002, 10060}, Step::send, true},
        // A byte every half second would keep the request alive for 20 s.
        {"body trickling past the deadline", "https://api.weather.gov/test/trickle/0.5/40/{id}",
         "Weather response was interrupted", {12002}, Step::read, true, true},
    };
#else
    const Row rows[] = {
        {"nothing listening", "https://api.weather.gov:1/test/status/200/{id}",
         "Weather download failed", {7}, Step::send, false},
        {"certificate of an unknown CA", "https://api.weather.gov:9443/test/status/200/{id}",
         "Weather download failed", {60}, Step::send, false},
        {"connection reset mid-body", "https://api.weather.gov/test/drop/reset/{id}",
         "Weather response was interrupted", {56}, Step::read, true},
        {"connection closed mid-body", "https://api.weather.gov/test/drop/close/{id}",
         "Weather response was interrupted", {18}, Step::read, true},
        // 20 s: past the 14 s stall limit.
        {"body stalled past the receive time-out", "https://api.weather.gov/test/slow/body/20/{id}",
         "Weather response was interrupted", {28}, Step::read, true},
        {"headers, then silence past the receive time-out",
         "https://api.weather.gov/test/slow/after-headers/20/{id}",
         "Weather response was interrupted", {28}, Step::read, true},
        {"headers later than the receive time-out",
         "https://api.weather.gov/test/slow/headers/20/{id}",
         "Weather download failed", {28}, Step::send, true},
        // A byte every half second would keep the request alive for 20 s.
        {"body trickling past the deadline", "https://api.weather.gov/test/trickle/0.5/40/{id}",
         "Weather response was interrupted", {28}, Step::read, true, true},
    };
#endif
    // clang-format on
    const weather::FetchContext limited{client, transport.pause, short_limit, "alerts"};
    std::vector<std::string> urls;
    std::vector<std::future<std::pair<Outcome, std::chrono::steady_clock::duration>>> outcomes;
    const std::size_t mark = log.mark();
    for (const auto& row : rows) {
        urls.push_back(with_id(row.url, unique_id()));
        outcomes.push_back(std::async(std::launch::async, [&, url = urls.back()] {
            const auto start = std::chrono::steady_clock::now();
            Outcome outcome = fetch(row.ended_by_deadline ? limited : transport, url, false);
            return std::pair(std::move(outcome), std::chrono::steady_clock::now() - start);
        }));
    }
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.name);
        const auto [outcome, elapsed] = outcomes[i].get();
        if (row.ended_by_deadline) {
            // Two attempts of 3 s, the pause and a last byte's wait; not the 20 s of the body.
            EXPECT_LT(elapsed, 2 * short_limit + std::chrono::seconds(4));
        }
        ASSERT_FALSE(outcome.value.has_value());
        std::optional<std::uint32_t> matched;
        for (std::uint32_t code : row.codes) {
            if (is_client_failure(outcome.error, row.text, code, urls[i])) {
                matched = code;
            }
        }
        ASSERT_TRUE(matched.has_value()) << outcome.error;

        const std::string path = urls[i].substr(urls[i].find("/test/"));
        const auto requests = log.since(mark);  // complete for this row once get() returned
        const auto count = std::count_if(requests.begin(), requests.end(),
                                         [&](const json& r) { return r.at("target") == path; });
        EXPECT_EQ(count, row.reaches_server ? 2 : 0);

#if defined(_WIN32)
        // The scripted client failing at the same step with the same code reads the same.
        ScriptedClient scripted;
        std::vector<Exchange> answers{Exchange::failure(row.failing_step, *matched)};
        answers[0].times_out = row.ended_by_deadline;
        scripted.on(urls[i], answers);
        PauseRecorder pauses;
        const weather::FetchContext scripted_transport =
            weather::FetchContext{scripted, pauses.function()}.for_operation("alerts");
        EXPECT_EQ(fetch(scripted_transport, urls[i], false), outcome);
#endif
    }
}

// The control for the redirect rows: the foreign host resolves, accepts the harness's
// certificate, answers and logs, so a client that followed a redirect there would be seen.
TEST_F(TransportEndToEnd, TheForeignHostAnswersWhenAskedDirectly) {
    const std::string path = "/test/status/200/" + unique_id();
    const std::size_t mark = log.mark();
    const auto exchange =
        client.start_exchange(std::chrono::steady_clock::now() + std::chrono::seconds(30));
    ASSERT_TRUE(exchange->open_session());
    ASSERT_TRUE(exchange->connect(u"foreign.example", 443));
    ASSERT_TRUE(exchange->open_request(std::u16string(path.begin(), path.end())));
    ASSERT_TRUE(exchange->send()) << exchange->failure_text("send");
    std::int32_t status = 0;
    ASSERT_TRUE(exchange->query_status(status));
    EXPECT_EQ(status, 200);
    const auto requests = log.since(mark);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].at("host"), "foreign.example");
    EXPECT_EQ(requests[0].at("target"), path);
}

TEST_F(TransportEndToEnd, AUrlThatIsNotUtf8IsRefusedAtOnceWithoutARequest) {
    PauseRecorder pauses;
    const weather::FetchContext recorded{client, pauses.function()};
    const std::size_t mark = log.mark();
    EXPECT_EQ(fetch(recorded, "https://api.weather.gov/test/status/200/\xC3\x28", false).error,
              "Invalid UTF-8 request URL");
    EXPECT_TRUE(pauses.recorded().empty());
    EXPECT_TRUE(log.since(mark).empty());
}

TEST_F(TransportEndToEnd, RetriesAbout350msApart) {
    const std::string http_url = "http://api.weather.gov/test/status/200/" + unique_id();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch(transport, http_url, false).error,
              "Invalid HTTPS weather service URL: " + http_url);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(340));
    EXPECT_LT(elapsed, std::chrono::seconds(5));

    const std::string path = "/test/status/503,200/" + unique_id();
    const std::size_t mark = log.mark();
    EXPECT_TRUE(fetch(transport, "https://api.weather.gov" + path, false).value.has_value());
    const auto requests = log.since(mark);
    ASSERT_EQ(requests.size(), 2u);
    const double gap = requests[1].at("time").get<double>() - requests[0].at("time").get<double>();
    EXPECT_GE(gap, 0.34);
    EXPECT_LT(gap, 5.0);
}

TEST_F(TransportEndToEnd, SendsTheFixedUserAgentAndASingleAcceptHeader) {
    const std::size_t mark = log.mark();
    ASSERT_TRUE(fetch(transport, weather::active_alerts_url, false).value.has_value());
    const auto requests = log.since(mark);
    ASSERT_EQ(requests.size(), 1u);
    const json& request = requests[0];
    EXPECT_EQ(request.at("method"), "GET");
    EXPECT_EQ(request.at("port"), 443);
    EXPECT_EQ(request.at("target"), "/alerts/active?area=UT,AZ,NV,CA,CO,NM,OR,WA,ID,MT,WY");
    EXPECT_EQ(header_values(request, "host"), std::vector<std::string>{"api.weather.gov"});
    EXPECT_EQ(
        header_values(request, "user-agent"),
        std::vector<std::string>{"Pellowind/1.0 (Windows desktop weather map; NOAA public data)"});
    EXPECT_EQ(header_values(request, "accept"),
              std::vector<std::string>{"application/geo+json, application/json"});
}

TEST_F(TransportEndToEnd, ConnectsOnAnExplicitPort) {
    const std::string url =
        "https://aviationweather.gov:8443/api/data/metar?ids=KSGU,KCDC,KAZC,"
        "KBCE,KPGA,KGCN&format=json";
    const std::size_t mark = log.mark();
    EXPECT_EQ(fetch(transport.for_operation("metars"), url, true).value,
              json::parse(test_document("awc/metar_ids.json")));
    const auto requests = log.since(mark);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].at("port"), 8443);
    EXPECT_EQ(header_values(requests[0], "host"),
              std::vector<std::string>{"aviationweather.gov:8443"});
}

// The server encodes only what the request's Accept-Encoding allows, as the real services do;
// whatever it chose, the body must arrive as the document. (Wine's WinHTTP refuses the
// decompression option and so asks for no encoding; libcurl always asks for both.)
TEST_F(TransportEndToEnd, CompressedBodiesArriveDecoded) {
    json expected = {{"encoded", true}, {"stations", json::array()}};
    for (int i = 0; i < 200; ++i) {
        for (const char* station : {"KSLC", "KOGD", "KPVU"}) {
            expected["stations"].push_back(station);
        }
    }
    for (const std::string coding : {"gzip", "deflate"}) {
        SCOPED_TRACE(coding);
        const std::size_t mark = log.mark();
        const std::string url =
            "https://api.weather.gov/test/encoded/" + coding + "/" + unique_id();
        EXPECT_EQ(fetch(transport, url, false).value, expected);
        const auto requests = log.since(mark);
        ASSERT_EQ(requests.size(), 1u);
        const json& encoding = requests[0].at("content_encoding");
        const auto accepted = header_values(requests[0], "accept-encoding");
#if !defined(_WIN32)
        EXPECT_EQ(encoding, coding);
#endif
        if (accepted.empty()) {
            EXPECT_TRUE(encoding.is_null());
        } else {
            EXPECT_TRUE(encoding.is_null() || encoding == coding) << encoding;
        }
        std::cout << "[ INFO     ] " << coding << ": Accept-Encoding "
                  << (accepted.empty() ? "not sent" : "\"" + accepted[0] + "\"") << ", body "
                  << (encoding.is_null() ? "not encoded" : "encoded") << "\n";
    }
}

// The same operation through a WeatherService over the scripted client, answering from the
// same documents (and `faults`, which the services were armed with); both replies must be the
// same apart from the time of retrieval.
void expect_same_as_scripted(const std::string& operation, const std::string& argument,
                             const weather::Response& real,
                             const std::vector<std::pair<std::string, Exchange>>& faults = {}) {
    ScriptedClient scripted;
    weather::testing::answer_from_routes(scripted);
    for (const auto& [url, answer] : faults) {
        scripted.on(url, answer);
    }
    PauseRecorder pauses;
    weather::WeatherService service(weather::FetchContext{scripted, pauses.function()});
    const weather::Response expected = service.run_operation(operation, argument);
    json real_body = json::parse(real.body);
    json expected_body = json::parse(expected.body);
    if (real_body.is_object() && expected_body.is_object()) {
        real_body.erase("retrievedAt");
        expected_body.erase("retrievedAt");
    }
    EXPECT_EQ(real.status, expected.status);
    EXPECT_EQ(real.content_type, expected.content_type);
    EXPECT_EQ(real_body, expected_body);
}

TEST_F(TransportEndToEnd, PointFollowsTheRedirectAndGathersAllThreeProducts) {
    const std::size_t mark = log.mark();
    const weather::Response response = weather::run_operation("point", "40.76,-111.89");
    ASSERT_EQ(response.status, 200) << response.body;
    const json body = json::parse(response.body);
    EXPECT_EQ(body.at("warnings"), json::array());
    EXPECT_EQ(body.at("point"), json::parse(test_document("nws/points_slc.json")));
    EXPECT_EQ(body.at("hourly"), json::parse(test_document("nws/forecast_hourly_slc.json")));
    EXPECT_EQ(body.at("grid"), json::parse(test_document("nws/gridpoints_slc.json")));
    EXPECT_EQ(body.at("observation").at("properties").at("stationIdentifier"), "KSLC");

    std::vector<std::pair<std::string, int>> seen;
    for (const auto& request : log.since(mark)) {
        seen.emplace_back(request.at("target"), request.at("status"));
    }
    std::sort(seen.begin(), seen.end());
    const std::vector<std::pair<std::string, int>> expected = {
        {"/gridpoints/SLC/101,174", 200},          {"/gridpoints/SLC/101,174/forecast/hourly", 200},
        {"/gridpoints/SLC/101,174/stations", 200}, {"/points/40.76,-111.89", 200},
        {"/points/40.7600,-111.8900", 301},        {"/stations/KSLC/observations/latest", 200},
    };
    EXPECT_EQ(seen, expected);
    expect_same_as_scripted("point", "40.76,-111.89", response);
}

TEST_F(TransportEndToEnd, MetarsOfTheWholeAreaAreMergedOnePerStationInOrder) {
    const weather::Response response = weather::run_operation("metars", "");
    ASSERT_EQ(response.status, 200) << response.body;
    const json records = json::parse(response.body);
    ASSERT_TRUE(records.is_array());
    EXPECT_EQ(records.size(), 62u) << "60 of the area and KAZC, KGCN of the fixed stations";
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_LT(records[i - 1].at("icaoId").get<std::string>(),
                  records[i].at("icaoId").get<std::string>());
    }
    expect_same_as_scripted("metars", "", response);
}

TEST_F(TransportEndToEnd, PilotReportsArePassedOn) {
    const weather::Response response = weather::run_operation("pireps", "");
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(json::parse(response.body), json::parse(test_document("awc/pirep_west.json")));
    expect_same_as_scripted("pireps", "", response);
}

TEST_F(TransportEndToEnd, AlertsArePassedOn) {
    const weather::Response response = weather::run_operation("alerts", "");
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(json::parse(response.body), json::parse(test_document("nws/alerts_active.json")));
    expect_same_as_scripted("alerts", "", response);
}

// The operations beyond the first four, their refusals and service failures, through the real
// client; the services' fault for an operation is chosen by its argument.
TEST_F(TransportEndToEnd, TheNewerOperationsAnswerAsTheScriptedClientDoes) {
    struct Row {
        std::string operation;
        std::string argument;
        int status;
        std::vector<std::string> targets;  // requested, in order
    };
    const std::string taf_west = "/api/data/taf?bbox=31,-125,49.5,-102&format=json";
    const Row rows[] = {
        {"tafs", "", 200, {taf_west}},
        {"tafs",
         " 31 , -125 , 32 , -124 ",  // over the Pacific: 204
         200,
         {"/api/data/taf?bbox=31.0000,-125.0000,32.0000,-124.0000&format=json"}},
        {"tafs", "40,-112,40,-111", 400, {}},
        {"hazards", "", 200, {}},
        {"forecast", "SLC/101,174", 200, {"/gridpoints/SLC/101,174/forecast"}},
        {"forecast", "SLC/0,0", 502, {"/gridpoints/SLC/0,0/forecast"}},
        {"forecast", "SLC/101, 174", 400, {}},
        {"discussion", "SLC", 200, {"/products/types/AFD/locations/SLC/latest"}},
        {"discussion", "XYZ", 502, {"/products/types/AFD/locations/XYZ/latest"}},
        {"discussion", "KSLC", 400, {}},
        {"zone", "forecast/UTZ110", 200, {"/zones/forecast/UTZ110"}},
        {"zone", "county/MTC029", 200, {"/zones/county/MTC029"}},
        {"zone", "fire/UTZ478", 502, {"/zones/fire/UTZ478"}},
        {"zone", "forecast/UTZ110/", 400, {}},
        {"winds", "06", 200, {"/products/types/FD1/locations/US1/latest"}},
        {"winds", "high", 200, {"/products/types/FD8/locations/US7/latest"}},
        {"winds", "24", 502, {"/products/types/FD5/locations/US5/latest"}},
        {"winds", "6", 400, {}},
        {"outlook", "HWO/SLC", 200, {"/products/types/HWO/locations/SLC/latest"}},
        {"outlook", "FWF/SLC", 200, {"/products/types/FWF/locations/SLC/latest"}},
        {"outlook", "FWF/XYZ", 502, {"/products/types/FWF/locations/XYZ/latest"}},
        {"outlook", "AFD/SLC", 400, {}},
        {"outlook", "SLC", 400, {}},
        {"avalanche", "", 200, {"/v2/public/products/map-layer"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.operation + " \"" + row.argument + "\"");
        const std::size_t mark = log.mark();
        const weather::Response response = weather::run_operation(row.operation, row.argument);
        EXPECT_EQ(response.status, row.status) << response.body;
        std::vector<std::string> targets;
        for (const auto& request : log.since(mark)) {
            targets.push_back(request.at("target"));
        }
        if (row.operation == "hazards") {
            std::sort(targets.begin(), targets.end());
            EXPECT_EQ(targets, (std::vector<std::string>{"/api/data/airsigmet?format=json",
                                                         "/api/data/cwa?format=json",
                                                         "/api/data/gairmet?format=json"}));
        } else {
            EXPECT_EQ(targets, row.targets);
        }
        expect_same_as_scripted(row.operation, row.argument, response);
    }
    EXPECT_EQ(json::parse(weather::run_operation("tafs", "").body),
              json::parse(test_document("awc/taf_west.json")));
    EXPECT_EQ(json::parse(weather::run_operation("forecast", "SLC/101,174").body),
              json::parse(test_document("nws/forecast_slc.json")));
    EXPECT_EQ(json::parse(weather::run_operation("zone", "forecast/UTZ110").body),
              json::parse(test_document("nws/zone_forecast_UTZ110.json")));
    EXPECT_EQ(json::parse(weather::run_operation("winds", "06").body).at("productText"),
              json::parse(test_document("nws/fd1_us1_latest.json")).at("productText"));
    EXPECT_EQ(json::parse(weather::run_operation("avalanche", "").body),
              json::parse(test_document("avalanche/map_layer.json")));
}

// The services are armed through a path of their own (/test/next), since the hazards URLs are
// fixed: SIGMETs fail twice (the retry too), G-AIRMETs answer an object.
TEST_F(TransportEndToEnd, AFailedHazardProductBecomesAWarningAndTheReplyIsNotKept) {
    const auto arm = [&](const std::string& statuses, const std::string& target) {
        const std::string url = "https://aviationweather.gov/test/next/" + statuses + "/" +
                                unique_id() + "?target=" + target;
        ASSERT_TRUE(fetch(transport.for_operation("hazards"), url, false).value.has_value()) << url;
    };
    arm("503,503", "%2Fapi%2Fdata%2Fairsigmet%3Fformat%3Djson");
    arm("200", "%2Fapi%2Fdata%2Fgairmet%3Fformat%3Djson");
    const std::string argument = "partial-" + unique_id();
    const std::size_t mark = log.mark();
    const weather::Response response = weather::run_operation("hazards", argument);
    ASSERT_EQ(response.status, 200) << response.body;
    const json body = json::parse(response.body);
    EXPECT_TRUE(body.at("sigmets").is_null());
    EXPECT_TRUE(body.at("gairmets").is_null());
    EXPECT_EQ(body.at("cwas"), json::parse(test_document("awc/cwa.json")));
    EXPECT_EQ(
        body.at("warnings"),
        json({std::string("sigmets: Weather service returned HTTP 503: ") + weather::sigmets_url,
              "gairmets: Aviation weather service returned an unexpected data format"}));
    EXPECT_EQ(log.since(mark).size(), 4u) << "SIGMETs twice, G-AIRMETs and CWAs once";
    expect_same_as_scripted(
        "hazards", argument, response,
        {{weather::sigmets_url, Exchange::with_status(503)},
         {weather::gairmets_url, Exchange::ok(R"({"attempt":1,"status":200})")}});

    // Not kept: asked again at once, the services answer in full.
    const std::size_t again = log.mark();
    const weather::Response whole = weather::run_operation("hazards", argument);
    EXPECT_EQ(json::parse(whole.body).at("warnings"), json::array());
    EXPECT_EQ(log.since(again).size(), 3u);
    const std::size_t cached = log.mark();
    EXPECT_EQ(weather::run_operation("hazards", argument).body, whole.body);
    EXPECT_EQ(log.since(cached).size(), 0u) << "the whole reply is kept";
}

}  // namespace
