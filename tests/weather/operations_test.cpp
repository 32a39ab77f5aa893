#include "weather/operations.h"

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"
#include "weather/operation_names.h"
#include "weather/services.h"

namespace weather::testing {
namespace {

using namespace std::chrono_literals;

class OperationsTest : public ::testing::Test {
protected:
    OperationsTest()
        : service(Transport{client, pauses.function()}, [this] { return clock.now(); }) {}

    static nlohmann::json body_of(const Response& response) {
        return nlohmann::json::parse(response.body);
    }

    ScriptedClient client;
    PauseRecorder pauses;
    FakeClock clock;
    WeatherService service;
};

TEST_F(OperationsTest, RefusesUnknownOperationsAndLongArguments) {
    struct Case {
        std::string operation;
        std::string argument;
        std::string error;
    };
    const Case cases[] = {
        {"", "", "Unsupported weather operation"},
        {"Alerts", "", "Unsupported weather operation"},
        {"alerts ", "", "Unsupported weather operation"},
        {"radar", "", "Unsupported weather operation"},
        {"Tafs", "", "Unsupported weather operation"},
        {"hazard", "", "Unsupported weather operation"},
        {"forecast ", "SLC/101,174", "Unsupported weather operation"},
        {"discussions", "SLC", "Unsupported weather operation"},
        {"point", std::string(97, ' '), "Weather request argument is too long"},
    };
    for (const auto& c : cases) {
        for (int repeat = 0; repeat < 2; ++repeat) {
            const Response response = service.run_operation(c.operation, c.argument);
            EXPECT_EQ(response.status, 400);
            EXPECT_EQ(response.body, nlohmann::json({{"error", c.error}}).dump());
            EXPECT_EQ(response.content_type, "application/json; charset=utf-8");
        }
    }
    EXPECT_EQ(client.request_count(), 0u);
    EXPECT_EQ(service.cache().size(), 0u);
}

TEST_F(OperationsTest, EveryOperationRefusesA97ByteArgumentBeforeAnythingElse) {
    const std::string names[] = {"metars", "pireps",  "point",    "alerts",
                                 "tafs",   "hazards", "forecast", "discussion"};
    EXPECT_EQ(std::size(names), operation_names.size());
    for (const std::string& name : names) {
        const Response response = service.run_operation(name, std::string(97, 'x'));
        EXPECT_EQ(response.status, 400) << name;
        EXPECT_EQ(body_of(response),
                  nlohmann::json({{"error", "Weather request argument is too long"}}))
            << name;
    }
    EXPECT_EQ(client.request_count(), 0u);
}

TEST_F(OperationsTest, AcceptsAnArgumentOfExactly96Bytes) {
    client.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
    EXPECT_EQ(service.run_operation("alerts", std::string(96, 'x')).status, 200);
}

TEST_F(OperationsTest, PassesAlertsThroughResortedAndCompact) {
    client.on(active_alerts_url,
              Exchange::ok("{\n    \"type\": \"FeatureCollection\",\n    \"features\": [ {\"b\": "
                           "1, \"a\": \"Ca\\u00f1ada\"} ]\n}"));
    const Response response = service.run_operation("alerts", "");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body,
              "{\"features\":[{\"a\":\"Ca\xC3\xB1"
              "ada\",\"b\":1}],\"type\":\"FeatureCollection\"}");
}

TEST_F(OperationsTest, CacheLifetimesEndExactlyAt300And180Seconds) {
    struct Case {
        std::string operation;
        std::string argument;
        std::string url;  // counted; every other request of the operation is scripted too
        std::string body;
        std::chrono::nanoseconds lifetime;
    };
    const std::string taf_url =
        "https://aviationweather.gov/api/data/taf?bbox=31,-125,49.5,-102&format=json";
    const std::string forecast_url = "https://api.weather.gov/gridpoints/SLC/101,174/forecast";
    const std::string discussion_url =
        "https://api.weather.gov/products/types/AFD/locations/SLC/latest";
    const Case cases[] = {
        {"alerts", "", active_alerts_url, R"({"features":[]})", 300s},
        {"pireps", "", pilot_reports_url, "[]", 180s},
        {"tafs", "", taf_url, "[]", 300s},
        {"hazards", "", sigmets_url, "[]", 180s},
        {"forecast", "SLC/101,174", forecast_url, R"({"properties":{"periods":[]}})", 300s},
        {"discussion", "SLC", discussion_url, R"({"productText":""})", 300s},
    };
    client.on(gairmets_url, Exchange::ok("[]"));
    client.on(center_advisories_url, Exchange::ok("[]"));
    for (const auto& c : cases) {
        EXPECT_EQ(cache_lifetime(c.operation), c.lifetime) << c.operation;
        client.on(c.url, Exchange::ok(c.body));
        const std::size_t before = client.requests_for(c.url);
        EXPECT_EQ(service.run_operation(c.operation, c.argument).status, 200);
        clock.advance(c.lifetime - 1ns);
        EXPECT_EQ(service.run_operation(c.operation, c.argument).status, 200);
        EXPECT_EQ(client.requests_for(c.url), before + 1) << c.operation << " fresh until the end";
        clock.advance(1ns);
        EXPECT_EQ(service.run_operation(c.operation, c.argument).status, 200);
        EXPECT_EQ(client.requests_for(c.url), before + 2)
            << c.operation << " stale at the lifetime";
        // The new response is stored at the time it finished and is fresh again.
        clock.advance(c.lifetime - 1ns);
        EXPECT_EQ(service.run_operation(c.operation, c.argument).status, 200);
        EXPECT_EQ(client.requests_for(c.url), before + 2);
    }
    EXPECT_EQ(cache_lifetime("point"), 300s);
    EXPECT_EQ(cache_lifetime("metars"), 300s);
}

TEST_F(OperationsTest, ArgumentsAreDistinctCacheKeysEvenWhenIgnored) {
    client.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
    service.run_operation("alerts", "");
    service.run_operation("alerts", "x");
    service.run_operation("alerts", "x");
    EXPECT_EQ(client.requests_for(active_alerts_url), 2u);
}

TEST_F(OperationsTest, NoContentPilotReportsAreAnEmptyArrayAndCached) {
    client.on(pilot_reports_url, Exchange::with_status(204));
    const Response first = service.run_operation("pireps", "");
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.body, "[]");
    clock.advance(179s);
    EXPECT_EQ(service.run_operation("pireps", "").body, "[]");
    EXPECT_EQ(client.requests_for(pilot_reports_url), 1u);
}

TEST_F(OperationsTest, UnexpectedShapesAre502WithTheirSource) {
    struct Case {
        std::string operation;
        std::string url;
        std::string body;
        int status;
        std::string error;
    };
    const Case cases[] = {
        {"alerts", active_alerts_url, R"({"type":"FeatureCollection"})", 502,
         "NWS alert service returned an unexpected data format"},
        {"alerts", active_alerts_url, R"([{"features":[]}])", 502,
         "NWS alert service returned an unexpected data format"},
        {"alerts", active_alerts_url, R"({"features":null})", 200, ""},
        {"pireps", pilot_reports_url, R"({"data":[]})", 502,
         "Aviation weather service returned an unexpected data format"},
        {"pireps", pilot_reports_url, R"("[]")", 502,
         "Aviation weather service returned an unexpected data format"},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        scripted.on(c.url, Exchange::ok(c.body));
        WeatherService fresh(Transport{scripted, pauses.function()},
                             [this] { return clock.now(); });
        const Response response = fresh.run_operation(c.operation, "");
        EXPECT_EQ(response.status, c.status) << c.body;
        if (c.status == 502) {
            EXPECT_EQ(body_of(response), nlohmann::json({{"error", c.error}, {"source", c.url}}));
            EXPECT_EQ(fresh.cache().size(), 0u);
        }
    }
}

TEST_F(OperationsTest, ServiceFailuresAre502WithoutSourceAndNeverCached) {
    client.on(active_alerts_url, Exchange::with_status(500));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const Response response = service.run_operation("alerts", "");
        EXPECT_EQ(response.status, 502);
        EXPECT_EQ(body_of(response),
                  nlohmann::json({{"error", std::string("Weather service returned HTTP 500: ") +
                                                active_alerts_url}}));
        EXPECT_EQ(client.requests_for(active_alerts_url), static_cast<std::size_t>(attempt));
    }
    EXPECT_EQ(service.cache().size(), 0u);
}

TEST_F(OperationsTest, AFailureLeavesAStaleEntryInPlaceAndServesNothingStale) {
    client.on(active_alerts_url, {Exchange::ok(R"({"features":[1]})"), Exchange::with_status(404)});
    EXPECT_EQ(service.run_operation("alerts", "").status, 200);
    clock.advance(301s);
    EXPECT_EQ(service.run_operation("alerts", "").status, 502);
    EXPECT_EQ(service.cache().size(), 1u);
}

TEST_F(OperationsTest, The129thKeyEvictsTheOldestEntry) {
    client.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
    for (int key = 0; key < 129; ++key) {
        service.run_operation("alerts", "k" + std::to_string(key));
        clock.advance(1ns);
        EXPECT_LE(service.cache().size(), 128u);
    }
    EXPECT_EQ(client.requests_for(active_alerts_url), 129u);
    service.run_operation("alerts", "k1");  // still cached
    EXPECT_EQ(client.requests_for(active_alerts_url), 129u);
    service.run_operation("alerts", "k0");  // evicted
    EXPECT_EQ(client.requests_for(active_alerts_url), 130u);
    EXPECT_EQ(service.cache().size(), 128u);
}

TEST_F(OperationsTest, AmongEqualTimesTheFirstKeyInOrderIsEvicted) {
    ResponseCache cache;
    const auto now = clock.now();
    for (int key = 0; key < 128; ++key) {
        cache.store("alerts:k" + std::to_string(100 + key), now, Response{200, "[]"});
    }
    cache.store("alerts:new", now, Response{200, "[]"});
    EXPECT_EQ(cache.size(), 128u);
    EXPECT_FALSE(cache.find_fresh("alerts:k100", now, 300s));
    EXPECT_TRUE(cache.find_fresh("alerts:k101", now, 300s));
    EXPECT_TRUE(cache.find_fresh("alerts:new", now, 300s));
}

TEST_F(OperationsTest, StoringAPresentKeyIntoAFullCacheStillEvictsFirst) {
    ResponseCache cache;
    const auto start = clock.now();
    for (int key = 0; key < 128; ++key) {
        cache.store("k" + std::to_string(100 + key), start + std::chrono::nanoseconds(key),
                    Response{200, "[]"});
    }
    cache.store("k227", start + 1s, Response{200, "[1]"});
    EXPECT_EQ(cache.size(), 127u);
    EXPECT_FALSE(cache.find_fresh("k100", start + 1s, 300s));
    EXPECT_EQ(cache.find_fresh("k227", start + 1s, 300s)->body, "[1]");
}

TEST_F(OperationsTest, RefusedPointsAreAnswered400EveryTimeAndNeverCached) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Response response = service.run_operation("point", "91,0");
        EXPECT_EQ(response.status, 400);
        EXPECT_EQ(body_of(response),
                  nlohmann::json({{"error", "Select a point in the contiguous United States"}}));
    }
    EXPECT_EQ(service.cache().size(), 0u);
    EXPECT_EQ(client.request_count(), 0u);
}

TEST_F(OperationsTest, ConcurrentIdenticalMissesEachRunTheOperation) {
    client.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i) {
        workers.emplace_back(
            [this] { EXPECT_EQ(service.run_operation("alerts", "").status, 200); });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_GE(client.requests_for(active_alerts_url), 1u);
    EXPECT_LE(client.requests_for(active_alerts_url), 8u);
    EXPECT_EQ(service.cache().size(), 1u);
}

}  // namespace
}  // namespace weather::testing
