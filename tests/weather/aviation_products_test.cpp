#include "weather/aviation_products.h"

#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"
#include "weather/operations.h"
#include "weather/services.h"

namespace weather::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr char default_taf_url[] =
    "https://aviationweather.gov/api/data/taf?bbox=31,-125,49.5,-102&format=json";
constexpr char format_error[] = "Aviation weather service returned an unexpected data format";

class AviationProductsTest : public ::testing::Test {
protected:
    AviationProductsTest()
        : service(FetchContext{client, pauses.function()}, [this] { return clock.now(); }) {}

    static json body_of(const Response& response) { return json::parse(response.body); }

    ScriptedClient client;
    PauseRecorder pauses;
    FakeClock clock;
    WeatherService service;
};

TEST_F(AviationProductsTest, TafsAskForTheBoxWithFourDecimalsOrTheWholeAreaAsWritten) {
    struct Case {
        std::string argument;
        std::string url;
    };
    const Case cases[] = {
        {"", default_taf_url},
        {"31,-125,49.5,-102",
         "https://aviationweather.gov/api/data/taf?"
         "bbox=31.0000,-125.0000,49.5000,-102.0000&format=json"},
        {" 40.76 , -111.891047 , 41 , -111 ",
         "https://aviationweather.gov/api/data/taf?"
         "bbox=40.7600,-111.8910,41.0000,-111.0000&format=json"},
    };
    for (const auto& c : cases) {
        client.on(c.url, Exchange::ok(R"([ {"icaoId": "KSLC", "fcsts": []} ])"));
        const Response response = service.run_operation("tafs", c.argument);
        EXPECT_EQ(response.status, 200) << c.argument;
        EXPECT_EQ(response.body, R"([{"fcsts":[],"icaoId":"KSLC"}])");
        EXPECT_EQ(client.requests_for(c.url), 1u) << c.argument;
    }
    EXPECT_EQ(client.request_count(), std::size(cases));
}

TEST_F(AviationProductsTest, TafAnswers) {
    struct Case {
        std::string name;
        Exchange answer;
        int status;
        json body;
        bool cached;
    };
    const std::string url = default_taf_url;
    const Case cases[] = {
        {"204 is an empty array", Exchange::with_status(204), 200, json::array(), true},
        {"an object",
         Exchange::ok(R"({"data":[]})"),
         502,
         {{"error", format_error}, {"source", url}},
         false},
        {"a string",
         Exchange::ok(R"("[]")"),
         502,
         {{"error", format_error}, {"source", url}},
         false},
        {"404",
         Exchange::with_status(404),
         502,
         {{"error", "Weather service returned HTTP 404: " + url}},
         false},
        {"not JSON",
         Exchange::ok("TAF KSLC"),
         502,
         {{"error", "Weather service returned an invalid JSON response: " + url}},
         false},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        scripted.on(url, c.answer);
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        const Response response = fresh.run_operation("tafs", "");
        EXPECT_EQ(response.status, c.status) << c.name;
        EXPECT_EQ(body_of(response), c.body) << c.name;
        EXPECT_EQ(cached_responses(fresh), c.cached ? 1u : 0u) << c.name;
    }
}

TEST_F(AviationProductsTest, RefusedTafBoxesAreAnswered400WithoutARequest) {
    const std::pair<std::string, std::string> cases[] = {
        {"40,-112,40,-111", "TAF bounds must be inside 31 to 49.5 N, 125 to 102 W"},
        {"36 -115 38 -112", "Expected TAF bounds as south,west,north,east"},
    };
    for (const auto& [argument, error] : cases) {
        const Response response = service.run_operation("tafs", argument);
        EXPECT_EQ(response.status, 400);
        EXPECT_EQ(body_of(response), json({{"error", error}}));
    }
    EXPECT_EQ(client.request_count(), 0u);
    EXPECT_EQ(cached_responses(service), 0u);
}

// How one hazard product answers in the table below.
enum class Answer { array, empty, not_array, unavailable };

Exchange exchange_for(Answer answer, const std::string& array) {
    switch (answer) {
        case Answer::array:
            return Exchange::ok(array);
        case Answer::empty:
            return Exchange::with_status(204);
        case Answer::not_array:
            return Exchange::ok(R"({"error":"maintenance"})");
        case Answer::unavailable:
            return Exchange::with_status(503);
    }
    return {};
}

TEST_F(AviationProductsTest, EveryCombinationOfFailedHazardProducts) {
    const std::string sigmets = sigmets_url;
    const std::string gairmets = gairmets_url;
    const std::string cwas = center_advisories_url;
    const std::string sigmets_down = "Weather service returned HTTP 503: " + sigmets;
    const std::string gairmets_down = "Weather service returned HTTP 503: " + gairmets;
    const std::string cwas_down = "Weather service returned HTTP 503: " + cwas;
    using A = Answer;
    struct Case {
        A sigmets, gairmets, cwas;
        int status;
        std::vector<std::string> warnings;  // of a 200 reply
        json error;                         // body of a 502 reply
    };
    // clang-format off
    const Case cases[] = {
        {A::array, A::array, A::array, 200, {}, {}},
        {A::empty, A::empty, A::empty, 200, {}, {}},
        {A::unavailable, A::array, A::array, 200, {"sigmets: " + sigmets_down}, {}},
        {A::array, A::not_array, A::array, 200, {std::string("gairmets: ") + format_error}, {}},
        {A::array, A::array, A::unavailable, 200, {"cwas: " + cwas_down}, {}},
        {A::not_array, A::unavailable, A::empty, 200,
         {std::string("sigmets: ") + format_error, "gairmets: " + gairmets_down}, {}},
        {A::unavailable, A::array, A::not_array, 200,
         {"sigmets: " + sigmets_down, std::string("cwas: ") + format_error}, {}},
        {A::array, A::unavailable, A::unavailable, 200,
         {"gairmets: " + gairmets_down, "cwas: " + cwas_down}, {}},
        {A::unavailable, A::not_array, A::unavailable, 502, {}, {{"error", sigmets_down}}},
        {A::not_array, A::unavailable, A::not_array, 502, {},
         {{"error", format_error}, {"source", sigmets}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
        ScriptedClient scripted;
        scripted.on(sigmets, exchange_for(c.sigmets, R"([{"seriesId":"12W"}])"));
        scripted.on(gairmets, exchange_for(c.gairmets, R"([{"tag":"1W"}])"));
        scripted.on(cwas, exchange_for(c.cwas, R"([{"cwsu":"ZLC"}])"));
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        const Response response = fresh.run_operation("hazards", "");
        ASSERT_EQ(response.status, c.status);
        const json body = body_of(response);
        if (c.status == 502) {
            EXPECT_EQ(body, c.error);
            continue;
        }
        const auto expected_product = [](A answer, const char* array) {
            return answer == A::array   ? json::parse(array)
                   : answer == A::empty ? json::array()
                                        : json();
        };
        const json expected = {{"sigmets", expected_product(c.sigmets, R"([{"seriesId":"12W"}])")},
                               {"gairmets", expected_product(c.gairmets, R"([{"tag":"1W"}])")},
                               {"cwas", expected_product(c.cwas, R"([{"cwsu":"ZLC"}])")},
                               {"warnings", c.warnings}};
        EXPECT_EQ(body, expected);
        // A reply with a failed product is not kept; a whole one is.
        EXPECT_EQ(cached_responses(fresh), c.warnings.empty() ? 1u : 0u);
    }
}

TEST_F(AviationProductsTest, APartialHazardsReplyIsFetchedAgainAtOnceAndAWholeOneIsKept) {
    client.on(sigmets_url, {Exchange::with_status(500), Exchange::ok("[]")});
    client.on(gairmets_url, Exchange::ok("[]"));
    client.on(center_advisories_url, Exchange::ok("[]"));
    EXPECT_EQ(body_of(service.run_operation("hazards", "")).at("warnings").size(), 1u);
    EXPECT_EQ(client.requests_for(gairmets_url), 1u);

    // Moments later, well within the lifetime, the refresh asks the services again.
    clock.advance(1s);
    EXPECT_EQ(body_of(service.run_operation("hazards", "")).at("warnings"), json::array());
    EXPECT_EQ(client.requests_for(sigmets_url), 2u);
    EXPECT_EQ(client.requests_for(gairmets_url), 2u);

    clock.advance(179s);
    EXPECT_EQ(service.run_operation("hazards", "").status, 200);
    EXPECT_EQ(client.requests_for(gairmets_url), 2u) << "the whole reply is kept for 180 s";
    clock.advance(1s);
    EXPECT_EQ(service.run_operation("hazards", "").status, 200);
    EXPECT_EQ(client.requests_for(gairmets_url), 3u);
}

TEST_F(AviationProductsTest, HazardsAskForTheThreeProductsInParallel) {
    // Each product waits inside its request until all three have been sent.
    std::mutex mutex;
    std::condition_variable all_sent;
    int sent = 0;
    const auto meet = [&] {
        std::unique_lock lock(mutex);
        ++sent;
        all_sent.notify_all();
        EXPECT_TRUE(all_sent.wait_for(lock, 10s, [&] { return sent == 3; }))
            << "the products were requested one after another";
    };
    for (const char* url : {sigmets_url, gairmets_url, center_advisories_url}) {
        Exchange answer = Exchange::ok("[]");
        answer.on_send = meet;
        client.on(url, answer);
    }
    EXPECT_EQ(service.run_operation("hazards", "").body,
              R"({"cwas":[],"gairmets":[],"sigmets":[],"warnings":[]})");
}

TEST_F(AviationProductsTest, TheHazardsArgumentOnlyMakesTheCacheKey) {
    for (const char* url : {sigmets_url, gairmets_url, center_advisories_url}) {
        client.on(url, Exchange::ok("[]"));
    }
    for (const char* argument : {"", "x", "x", "31,-125,49.5,-102"}) {
        EXPECT_EQ(service.run_operation("hazards", argument).status, 200);
    }
    EXPECT_EQ(client.requests_for(sigmets_url), 3u);
    EXPECT_EQ(client.request_count(), 9u);
}

}  // namespace
}  // namespace weather::testing
