#include "weather/fetch.h"

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"

namespace weather::testing {
namespace {

using std::chrono::milliseconds;

constexpr char alerts_url[] = "https://api.weather.gov/alerts/active?area=UT";

class FetchTest : public ::testing::Test {
protected:
    FetchContext transport() { return for_alerts(client, pauses); }

    // Most cases ask for the alerts, an operation of the NWS host.
    static FetchContext for_alerts(const HttpClient& through, PauseRecorder& recorder,
                                   milliseconds time_limit = attempt_time_limit) {
        return FetchContext{through, recorder.function(), time_limit, "alerts"};
    }

    // The text fetch_json throws for `url`, or "" when it returns.
    std::string failure_of(const std::string& url, bool allow_no_content = false) {
        return failure_of_with(transport(), url, allow_no_content);
    }

    static std::string failure_of_with(const FetchContext& through, const std::string& url,
                                       bool allow_no_content = false) {
        try {
            fetch_json(through, url, allow_no_content);
        } catch (const std::runtime_error& failure) {
            return failure.what();
        }
        return "";
    }

    ScriptedClient client;
    PauseRecorder pauses;
};

TEST_F(FetchTest, ReturnsTheDecodedBodyOfA2xxReply) {
    client.on(alerts_url, Exchange::ok(R"({"features": []})"));
    EXPECT_EQ(fetch_json(transport(), alerts_url, false),
              nlohmann::json::parse(R"({"features":[]})"));
    const auto requests = client.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].host, "api.weather.gov");
    EXPECT_EQ(requests[0].port, 443);
    EXPECT_EQ(requests[0].object_name, "/alerts/active?area=UT");
    EXPECT_EQ(requests[0].steps,
              (std::vector<Step>{Step::open_session, Step::connect, Step::open_request, Step::send,
                                 Step::query_status, Step::read, Step::read}));
    EXPECT_TRUE(pauses.recorded().empty());
    EXPECT_EQ(client.open_exchanges(), 0);
}

TEST_F(FetchTest, RefusesUrlsThatAreNotHttpsOnAnAllowedHostAfterTwoAttempts) {
    struct Case {
        std::string url;
        std::string error;
    };
    const Case cases[] = {
        {"http://api.weather.gov/alerts/active", "Invalid HTTPS weather service URL"},
        {"", "Invalid HTTPS weather service URL"},
        {"api.weather.gov/alerts", "Invalid HTTPS weather service URL"},
        {"https://API.WEATHER.GOV/alerts/active", "Weather service returned an unexpected host"},
        {"https://api.weather.gov./alerts/active", "Weather service returned an unexpected host"},
        {"https://aviationweather.gov.evil.example/x",
         "Weather service returned an unexpected host"},
        {"https://example.com/api.weather.gov", "Weather service returned an unexpected host"},
        {"https://api.weather.gov@example.com/x", "Weather service returned an unexpected host"},
    };
    for (const auto& c : cases) {
        PauseRecorder case_pauses;
        const FetchContext case_transport = for_alerts(client, case_pauses);
        try {
            fetch_json(case_transport, c.url, false);
            ADD_FAILURE() << c.url << " was fetched";
        } catch (const std::runtime_error& failure) {
            EXPECT_EQ(std::string(failure.what()), c.error + ": " + c.url);
        }
        EXPECT_EQ(case_pauses.recorded(), std::vector<milliseconds>{milliseconds(350)}) << c.url;
    }
    EXPECT_EQ(client.request_count(), 0u) << "no connection is made for a refused URL";
}

TEST_F(FetchTest, AcceptsAnExplicitPortAndKeepsQueryAndFragment) {
    const std::string url =
        "https://aviationweather.gov:8443/api/data/metar?ids=KSLC&format=json#x";
    client.on(url, Exchange::ok("[]"));
    EXPECT_EQ(fetch_json(transport().for_operation("metars"), url, false), nlohmann::json::array());
    const auto requests = client.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].port, 8443);
    EXPECT_EQ(requests[0].object_name, "/api/data/metar?ids=KSLC&format=json#x");
}

TEST_F(FetchTest, InvalidUtf8UrlThrowsAtOnceWithoutRetry) {
    EXPECT_EQ(failure_of("https://api.weather.gov/\xC3\x28"), "Invalid UTF-8 request URL");
    EXPECT_EQ(client.request_count(), 0u);
    EXPECT_TRUE(pauses.recorded().empty());
}

TEST_F(FetchTest, BodyCapIsExactly12MiB) {
    struct Case {
        std::size_t size;
        std::size_t attempts;
        std::string error;
    };
    const Case cases[] = {
        {max_body_bytes - 1, 1, ""},
        {max_body_bytes, 1, ""},
        {max_body_bytes + 1, 2, "Weather response exceeded the 12 MiB size limit: "},
    };
    for (const auto& c : cases) {
        ScriptedClient sized;
        std::string body(c.size, ' ');
        body.front() = '[';
        body.back() = ']';
        sized.on(alerts_url, Exchange::ok(std::move(body)));
        const FetchContext sized_transport = for_alerts(sized, pauses);
        std::string error;
        try {
            EXPECT_EQ(fetch_json(sized_transport, alerts_url, false), nlohmann::json::array());
        } catch (const std::runtime_error& failure) {
            error = failure.what();
        }
        EXPECT_EQ(error, c.error.empty() ? "" : c.error + alerts_url) << c.size;
        EXPECT_EQ(sized.requests_for(alerts_url), c.attempts) << c.size;
        EXPECT_EQ(sized.open_exchanges(), 0);
    }
}

TEST_F(FetchTest, CapIsCheckedPerChunkBeforeAppending) {
    // The body arrives in several pieces; the piece that crosses the cap is refused as a whole.
    Exchange exchange;
    exchange.chunks = {std::string(max_body_bytes - 10, 'x'), std::string(11, 'x')};
    client.on(alerts_url, exchange);
    const HttpResult result = http_get(client, alerts_url, "alerts");
    EXPECT_EQ(result.status, 502);
    EXPECT_EQ(result.error, "Weather response exceeded the 12 MiB size limit");
    EXPECT_TRUE(result.body.empty());
}

TEST_F(FetchTest, RetriesOnceAfter350msOnGatewayStatuses) {
    struct Case {
        std::vector<Exchange> answers;
        std::string error;  // "" when the last answer's body is returned
        std::size_t attempts;
    };
    const Case cases[] = {
        {{Exchange::with_status(503), Exchange::ok("[1]")}, "", 2},
        {{Exchange::with_status(502), Exchange::ok("[1]")}, "", 2},
        {{Exchange::with_status(504), Exchange::ok("[1]")}, "", 2},
        {{Exchange::with_status(503), Exchange::with_status(504)},
         "Weather service returned HTTP 504",
         2},
        {{Exchange::with_status(503), Exchange::with_status(503), Exchange::ok("[1]")},
         "Weather service returned HTTP 503",
         2},
        {{Exchange::with_status(404), Exchange::ok("[1]")}, "Weather service returned HTTP 404", 1},
        {{Exchange::with_status(500), Exchange::ok("[1]")}, "Weather service returned HTTP 500", 1},
        {{Exchange::with_status(429), Exchange::ok("[1]")}, "Weather service returned HTTP 429", 1},
        {{Exchange::with_status(301), Exchange::ok("[1]")}, "Weather service returned HTTP 301", 1},
        {{Exchange::with_status(199), Exchange::ok("[1]")}, "Weather service returned HTTP 199", 1},
        {{Exchange::with_status(300), Exchange::ok("[1]")}, "Weather service returned HTTP 300", 1},
        {{Exchange::ok("[2]", 299)}, "", 1},
        {{Exchange::failure(Step::send, 12002), Exchange::ok("[1]")}, "", 2},
        {{Exchange::failure(Step::send, 12002), Exchange::failure(Step::send, 12029)},
         "Weather download failed (Windows error 12029)",
         2},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ScriptedClient scripted;
        PauseRecorder case_pauses;
        scripted.on(alerts_url, cases[i].answers);
        const FetchContext case_transport = for_alerts(scripted, case_pauses);
        std::string error;
        nlohmann::json value;
        try {
            value = fetch_json(case_transport, alerts_url, false);
        } catch (const std::runtime_error& failure) {
            error = failure.what();
        }
        if (cases[i].error.empty()) {
            EXPECT_TRUE(value.is_array()) << "case " << i;
        } else {
            EXPECT_EQ(error, cases[i].error + ": " + alerts_url) << "case " << i;
        }
        EXPECT_EQ(scripted.requests_for(alerts_url), cases[i].attempts) << "case " << i;
        const auto expected_pauses = cases[i].attempts == 2
                                         ? std::vector<milliseconds>{milliseconds(350)}
                                         : std::vector<milliseconds>{};
        EXPECT_EQ(case_pauses.recorded(), expected_pauses) << "case " << i;
    }
}

TEST_F(FetchTest, EachFailingClientStepHasItsOwnTextAndClosesWhatWasOpened) {
    struct Case {
        Step step;
        std::string error;
    };
    const Case cases[] = {
        {Step::open_session, "Cannot start HTTPS request (Windows error 87)"},
        {Step::connect, "Cannot connect to weather service (Windows error 87)"},
        {Step::open_request, "Cannot create weather request (Windows error 87)"},
        {Step::send, "Weather download failed (Windows error 87)"},
        {Step::query_status, "Cannot read weather HTTP status (Windows error 87)"},
        {Step::read, "Weather response was interrupted (Windows error 87)"},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        if (c.step == Step::open_session || c.step == Step::connect) {
            scripted.fail_every_exchange_at(c.step, 87);
        } else {
            Exchange failing = Exchange::failure(c.step, 87);
            failing.chunks = {"[1,"};  // a read fails after part of the body arrived
            scripted.on(alerts_url, failing);
        }
        const HttpResult result = http_get(scripted, alerts_url, "alerts");
        EXPECT_EQ(result.status, 502);
        EXPECT_EQ(result.error, c.error);
        EXPECT_TRUE(result.body.empty());
        EXPECT_EQ(scripted.open_exchanges(), 0);

        PauseRecorder case_pauses;
        const FetchContext case_transport = for_alerts(scripted, case_pauses);
        try {
            fetch_json(case_transport, alerts_url, false);
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& failure) {
            EXPECT_EQ(std::string(failure.what()), c.error + ": " + alerts_url);
        }
        EXPECT_EQ(scripted.request_count(), 3u) << "one http_get, then two attempts";
    }
}

TEST_F(FetchTest, NoContentRules) {
    struct Case {
        Exchange answer;
        bool allow_no_content;
        std::string error;
    };
    const Case cases[] = {
        {Exchange::with_status(204), true, ""},
        {Exchange::ok("{\"not\": \"looked at\"}", 204), true, ""},
        {Exchange::ok("not even json", 204), true, ""},
        {Exchange::with_status(204), false, "Weather service returned an invalid JSON response"},
        {Exchange::ok("[7]", 204), false, ""},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        scripted.on(alerts_url, c.answer);
        const FetchContext case_transport = for_alerts(scripted, pauses);
        try {
            const auto value = fetch_json(case_transport, alerts_url, c.allow_no_content);
            EXPECT_TRUE(c.error.empty()) << "returned " << value.dump();
            if (c.allow_no_content) {
                EXPECT_EQ(value, nlohmann::json::array());
            }
        } catch (const std::runtime_error& failure) {
            EXPECT_EQ(std::string(failure.what()), c.error + ": " + alerts_url);
        }
        EXPECT_EQ(scripted.requests_for(alerts_url), 1u);
    }
}

TEST_F(FetchTest, DecodesStrictlyOneJsonValue) {
    using namespace std::string_literals;
    // A 0 byte anywhere would end the parser's input early: "[]", 0, "garbage" would be "[]".
    const std::string refused[] = {
        "",         "   ",       "[1] trailing",         "[1][2]",   "/* c */ [1]",  "[1 // c\n]",
        "{\"a\":}", "[1,]",      "\"\xC3\x28\"",         "nul",      "[]\0garbage"s, "[]\0"s,
        "\0[]"s,    "[1,\0 2]"s, "{\"a\": \"b\"}\0 \n"s, "\"a\0b\""s};
    for (const std::string& body : refused) {
        ScriptedClient scripted;
        scripted.on(alerts_url, Exchange::ok(body));
        const FetchContext case_transport = for_alerts(scripted, pauses);
        try {
            fetch_json(case_transport, alerts_url, false);
            ADD_FAILURE() << "accepted " << ::testing::PrintToString(body);
        } catch (const std::runtime_error& failure) {
            EXPECT_EQ(
                std::string(failure.what()),
                std::string("Weather service returned an invalid JSON response: ") + alerts_url);
        }
    }
    for (const char* body : {" [1] \n", "\"text\"", "0", "null"}) {
        ScriptedClient scripted;
        scripted.on(alerts_url, Exchange::ok(body));
        const FetchContext case_transport = for_alerts(scripted, pauses);
        EXPECT_NO_THROW(fetch_json(case_transport, alerts_url, false)) << body;
    }
}

std::string nested_arrays(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// Deeper documents are refused before they are decoded: copying or serialising a value walks
// it recursively, and ten thousands of levels exhaust a thread's stack.
TEST_F(FetchTest, DocumentsNestedDeeperThan256LevelsAreInvalidJson) {
    std::string objects_257;
    for (int i = 0; i < 257; ++i) {
        objects_257 += "{\"a\":";
    }
    objects_257 += "1" + std::string(257, '}');
    struct Case {
        std::string name;
        std::string body;
        bool accepted;
    };
    const Case cases[] = {
        {"255 arrays", nested_arrays(255), true},
        {"256 arrays", nested_arrays(256), true},
        {"257 arrays", nested_arrays(257), false},
        {"257 objects", objects_257, false},
        {"256 levels, then back out and in again",
         "[" + nested_arrays(255) + "," + nested_arrays(255) + "]", true},
        {"257 levels of arrays and objects",
         "{\"a\":" + nested_arrays(255) + ",\"b\":[" + nested_arrays(255) + "]}", false},
        {"brackets inside a string do not count", "[\"" + std::string(300, '[') + "\"]", true},
        {"nor after an escaped quote", "[\"\\\"" + std::string(300, '{') + "\"]", true},
        {"an escaped backslash ends before the quote", "[\"\\\\\"," + nested_arrays(256) + "]",
         false},
        {"a million levels", nested_arrays(1000000), false},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        scripted.on(alerts_url, Exchange::ok(c.body));
        const FetchContext case_transport = for_alerts(scripted, pauses);
        try {
            const nlohmann::json value = fetch_json(case_transport, alerts_url, false);
            EXPECT_TRUE(c.accepted) << c.name;
            EXPECT_EQ(value.dump(), nlohmann::json::parse(c.body).dump()) << c.name;
        } catch (const std::runtime_error& failure) {
            EXPECT_FALSE(c.accepted) << c.name;
            EXPECT_EQ(
                std::string(failure.what()),
                std::string("Weather service returned an invalid JSON response: ") + alerts_url)
                << c.name;
        }
        EXPECT_EQ(scripted.requests_for(alerts_url), 1u) << c.name << ": not retried";
    }
}

// Redirects are followed by the transport itself, and only over https to a host that serves the
// operation: any other target fails as a foreign host does, and is never asked.
TEST_F(FetchTest, RedirectsAreFollowedOnlyToTheOperationsHostOverHttps) {
    constexpr char unexpected_host[] = "Weather service returned an unexpected host";
    struct Case {
        std::string location;
        std::string target;  // the URL then requested; "" when none is
    };
    const Case cases[] = {
        {"/alerts/active?area=NV", "https://api.weather.gov/alerts/active?area=NV"},
        {"?area=AZ", "https://api.weather.gov/alerts/active?area=AZ"},
        {"forecast", "https://api.weather.gov/alerts/forecast"},
        {"../points/40.76,-111.89", "https://api.weather.gov/points/40.76,-111.89"},
        {"/a/./b/../c#fragment", "https://api.weather.gov/a/c"},
        {"https://api.weather.gov:8443/x", "https://api.weather.gov:8443/x"},
        {"//api.weather.gov/x", "https://api.weather.gov/x"},
        // Weather hosts too, but not the alerts' own.
        {"https://aviationweather.gov/api/data/pirep?format=json", ""},
        {"//aviationweather.gov/x", ""},
        {"https://api.avalanche.org/v2/public/products/map-layer", ""},
        {"https://foreign.example/alerts/active", ""},
        {"//foreign.example/alerts/active", ""},
        {"http://api.weather.gov/alerts/active", ""},
        {"ftp://api.weather.gov/alerts/active", ""},
        {"https://API.WEATHER.GOV/alerts/active", ""},
        {"https://api.weather.gov./alerts/active", ""},
        {"https://api.weather.gov.foreign.example/alerts/active", ""},
        {"https://api.weather.gov@foreign.example/alerts/active", ""},
        {"https:/alerts/active", ""},
        {"mailto:someone@api.weather.gov", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        ScriptedClient scripted;
        PauseRecorder case_pauses;
        scripted.on(alerts_url, Exchange::redirect(c.location));
        if (!c.target.empty()) {
            scripted.on(c.target, Exchange::ok("[1]"));
        }
        const FetchContext case_transport = for_alerts(scripted, case_pauses);
        std::string error;
        try {
            EXPECT_EQ(fetch_json(case_transport, alerts_url, false), nlohmann::json::array({1}));
        } catch (const std::runtime_error& failure) {
            error = failure.what();
        }
        const auto requests = scripted.requests();
        if (c.target.empty()) {
            EXPECT_EQ(error, std::string(unexpected_host) + ": " + alerts_url);
            ASSERT_EQ(requests.size(), 2u) << "the redirecting request, twice; nothing else";
            EXPECT_EQ(requests[1].host, "api.weather.gov");
            EXPECT_EQ(case_pauses.recorded(), std::vector<milliseconds>{milliseconds(350)});
        } else {
            EXPECT_EQ(error, "");
            ASSERT_EQ(requests.size(), 2u);
            EXPECT_EQ(scripted.requests_for(c.target), 1u);
            EXPECT_EQ(requests[1].deadline, requests[0].deadline) << "one attempt";
        }
        EXPECT_EQ(scripted.open_exchanges(), 0);
    }
}

// The allow-list names the operations each host serves: the NWS, aviation and avalanche
// operations each reach their own host only, directly or by a redirect.
TEST_F(FetchTest, EachHostServesOnlyTheOperationsItsRowNames) {
    const std::string map_layer = "https://api.avalanche.org/v2/public/products/map-layer";
    const std::string metars = "https://aviationweather.gov/api/data/metar?ids=KSLC&format=json";
    const std::string avalanche_alerts = "https://api.avalanche.org/alerts/active?area=UT";
    struct Case {
        std::string operation;
        std::string url;
        std::string redirect;  // where `url` sends the request on, if anywhere
        bool fetched;
    };
    const Case cases[] = {
        {"alerts", alerts_url, "", true},
        {"point", alerts_url, "", true},
        {"outlook", alerts_url, "", true},
        {"avalanche", map_layer, "", true},
        {"metars", metars, "", true},
        {"hazards", metars, "", true},
        {"alerts", avalanche_alerts, "", false},
        {"alerts", map_layer, "", false},
        {"avalanche", alerts_url, "", false},
        {"avalanche", metars, "", false},
        {"metars", alerts_url, "", false},
        {"metars", map_layer, "", false},
        {"point", metars, "", false},
        {"", alerts_url, "", false},
        {"Alerts", alerts_url, "", false},
        {"alerts ", alerts_url, "", false},
        {"winds", alerts_url, "", true},
        {"tafs", alerts_url, "", false},
        {"alerts", alerts_url, map_layer, false},
        {"avalanche", map_layer, alerts_url, false},
        {"avalanche", map_layer, map_layer + "/SAC", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation + " " + c.url + " " + c.redirect);
        ScriptedClient scripted;
        PauseRecorder case_pauses;
        scripted.on(c.url,
                    c.redirect.empty() ? Exchange::ok("[1]") : Exchange::redirect(c.redirect));
        if (!c.redirect.empty()) {
            scripted.on(c.redirect, Exchange::ok("[1]"));
        }
        const FetchContext scoped = for_alerts(scripted, case_pauses).for_operation(c.operation);
        const std::string error = failure_of_with(scoped, c.url);
        EXPECT_EQ(error, c.fetched ? "" : "Weather service returned an unexpected host: " + c.url);
        const std::size_t asked_first = c.redirect.empty() && !c.fetched ? 0u : c.fetched ? 1u : 2u;
        EXPECT_EQ(scripted.requests_for(c.url), asked_first);
        if (!c.redirect.empty()) {
            EXPECT_EQ(scripted.requests_for(c.redirect), c.fetched ? 1u : 0u);
        }
    }
}

TEST_F(FetchTest, OnlyRedirectStatusesWithALocationAreFollowedAtMostTenTimes) {
    const std::string target = "https://api.weather.gov/target";
    struct Case {
        std::vector<Exchange> chain;  // answers for alerts_url, then /hop/1, /hop/2 ...
        std::string error;            // "" when the target's [1] arrives
        std::size_t requests;
    };
    const auto chain_of = [&](std::size_t redirects) {
        std::vector<Exchange> chain;
        for (std::size_t hop = 1; hop <= redirects; ++hop) {
            chain.push_back(Exchange::redirect(
                hop == redirects ? target : "/hop/" + std::to_string(hop), hop % 2 ? 302 : 307));
        }
        return chain;
    };
    std::vector<Case> cases;
    for (const std::int32_t status : {301, 302, 303, 307, 308}) {
        cases.push_back({{Exchange::redirect(target, status)}, "", 2});
    }
    for (const std::int32_t status : {300, 304, 305, 306, 309}) {
        cases.push_back({{Exchange::redirect(target, status)},
                         "Weather service returned HTTP " + std::to_string(status),
                         1});
    }
    cases.push_back({{Exchange::with_status(301)}, "Weather service returned HTTP 301", 1});
    cases.push_back({chain_of(10), "", 11});
    cases.push_back({chain_of(11), "Weather service returned HTTP 302", 11});
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ScriptedClient scripted;
        scripted.on(alerts_url, c.chain[0]);
        for (std::size_t hop = 1; hop < c.chain.size(); ++hop) {
            scripted.on("https://api.weather.gov/hop/" + std::to_string(hop), c.chain[hop]);
        }
        scripted.on(target, Exchange::ok("[1]"));
        const FetchContext case_transport = for_alerts(scripted, pauses);
        std::string error;
        try {
            EXPECT_EQ(fetch_json(case_transport, alerts_url, false), nlohmann::json::array({1}));
        } catch (const std::runtime_error& failure) {
            error = failure.what();
        }
        EXPECT_EQ(error, c.error.empty() ? "" : c.error + ": " + alerts_url) << "case " << i;
        EXPECT_EQ(scripted.request_count(), c.requests) << "case " << i;
    }
    EXPECT_TRUE(pauses.recorded().empty()) << "none of these is retried";
}

// However slowly the server sends, an attempt ends at its deadline, 60 s after it began; the
// step that the deadline ends reads as an interrupted response and is retried as one.
TEST_F(FetchTest, EachAttemptEndsByItsDeadline) {
    const auto start = std::chrono::steady_clock::now();
    client.on(alerts_url, {Exchange::deadline_at(Step::read), Exchange::ok("[1]")});
    EXPECT_EQ(fetch_json(transport(), alerts_url, false), nlohmann::json::array({1}));
    const auto end = std::chrono::steady_clock::now();
    const auto requests = client.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_GE(request.deadline, start + std::chrono::seconds(60));
        EXPECT_LE(request.deadline, end + std::chrono::seconds(60));
    }
    EXPECT_GE(requests[1].deadline, requests[0].deadline) << "each attempt has its own";

    for (const Step step : {Step::send, Step::query_status, Step::read}) {
        ScriptedClient scripted;
        scripted.on(alerts_url, Exchange::deadline_at(step));
        const FetchContext limited = for_alerts(scripted, pauses, milliseconds(1500));
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(
            failure_of_with(limited, alerts_url),
            std::string("Weather response was interrupted (Windows error 12002): ") + alerts_url);
        ASSERT_EQ(scripted.request_count(), 2u);
        EXPECT_GE(scripted.requests()[0].deadline, before + milliseconds(1500));
        EXPECT_LE(scripted.requests()[0].deadline,
                  std::chrono::steady_clock::now() + milliseconds(1500));
    }
}

}  // namespace
}  // namespace weather::testing
