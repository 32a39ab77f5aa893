#include "weather/operations.h"

#include <algorithm>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"
#include "weather/services.h"

namespace weather::testing {
namespace {

using namespace std::chrono_literals;

class OperationsTest : public ::testing::Test {
protected:
    OperationsTest()
        : service(FetchContext{client, pauses.function()}, [this] { return clock.now(); }) {}

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
        {"zones", "forecast/UTZ110", "Unsupported weather operation"},
        {"Zone", "forecast/UTZ110", "Unsupported weather operation"},
        {"wind", "06", "Unsupported weather operation"},
        {"Winds", "06", "Unsupported weather operation"},
        {"Avalanche", "", "Unsupported weather operation"},
        {"outlooks", "HWO/SLC", "Unsupported weather operation"},
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
    EXPECT_EQ(cached_responses(service), 0u);
}

TEST_F(OperationsTest, EveryOperationRefusesA97ByteArgumentBeforeAnythingElse) {
    const std::string names[] = {"metars", "pireps",  "point",    "alerts",
                                 "tafs",   "hazards", "forecast", "discussion",
                                 "zone",   "winds",   "outlook",  "avalanche"};
    EXPECT_EQ(std::size(names), operations.size());
    for (const std::string& name : names) {
        const Response response = service.run_operation(name, std::string(97, 'x'));
        EXPECT_EQ(response.status, 400) << name;
        EXPECT_EQ(body_of(response),
                  nlohmann::json({{"error", "Weather request argument is too long"}}))
            << name;
    }
    EXPECT_EQ(client.request_count(), 0u);
}

// The README's protocol table names every operation once, with the time its answer is kept.
TEST(ProtocolTable, ListsEveryOperationWithItsLifetime) {
    std::istringstream readme(test_document("../../README.md"));
    const std::regex row(R"(^\| `([a-z]+)` \|.*\| (\d+) (s|h)\b[^|]*\|$)");
    std::vector<std::string> listed;
    bool in_table = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("| operation | argument |")) {
            in_table = true;
            continue;
        }
        if (in_table && !line.starts_with("|")) {
            break;
        }
        std::smatch match;
        if (in_table && std::regex_match(line, match, row)) {
            listed.push_back(match[1]);
            const long amount = std::stol(match[2]);
            const auto lifetime = match[3] == "h" ? std::chrono::seconds(amount * 3600)
                                                  : std::chrono::seconds(amount);
            EXPECT_EQ(cache_lifetime(match[1].str()), lifetime) << line;
        }
    }
    std::vector<std::string> names;
    for (const Operation& operation : operations) {
        names.emplace_back(operation.name);
    }
    std::sort(names.begin(), names.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, names);
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

TEST_F(OperationsTest, CacheLifetimesEndExactlyAt300180And900Seconds) {
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
    const std::string winds_url = "https://api.weather.gov/products/types/FD1/locations/US1/latest";
    const std::string high_winds_url =
        "https://api.weather.gov/products/types/FD8/locations/US7/latest";
    const Case cases[] = {
        {"alerts", "", active_alerts_url, R"({"features":[]})", 300s},
        {"pireps", "", pilot_reports_url, "[]", 180s},
        {"tafs", "", taf_url, "[]", 300s},
        {"hazards", "", sigmets_url, "[]", 180s},
        {"forecast", "SLC/101,174", forecast_url, R"({"properties":{"periods":[]}})", 300s},
        {"discussion", "SLC", discussion_url, R"({"productText":""})", 300s},
        {"zone", "county/UTC035", "https://api.weather.gov/zones/county/UTC035",
         R"({"geometry":null})", 6h},
        {"winds", "06", winds_url, R"({"productText":""})", 1800s},
        {"winds", "high", high_winds_url, R"({"productText":""})", 1800s},
        {"outlook", "FWF/SLC", "https://api.weather.gov/products/types/FWF/locations/SLC/latest",
         R"({"productText":""})", 300s},
        {"avalanche", "", avalanche_map_layer_url, R"({"features":[]})", 900s},
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
        {"avalanche", avalanche_map_layer_url, R"({"type":"FeatureCollection","features":[]})", 200,
         ""},
        {"avalanche", avalanche_map_layer_url, R"({"features":null})", 200, ""},
        {"avalanche", avalanche_map_layer_url, R"({"type":"FeatureCollection"})", 502,
         "Avalanche forecast service returned an unexpected data format"},
        {"avalanche", avalanche_map_layer_url, R"([{"features":[]}])", 502,
         "Avalanche forecast service returned an unexpected data format"},
        {"avalanche", avalanche_map_layer_url, R"("features")", 502,
         "Avalanche forecast service returned an unexpected data format"},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        scripted.on(c.url, Exchange::ok(c.body));
        WeatherService fresh(FetchContext{scripted, pauses.function()},
                             [this] { return clock.now(); });
        const Response response = fresh.run_operation(c.operation, "");
        EXPECT_EQ(response.status, c.status) << c.body;
        if (c.status == 502) {
            EXPECT_EQ(body_of(response), nlohmann::json({{"error", c.error}, {"source", c.url}}));
            EXPECT_EQ(cached_responses(fresh), 0u);
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
    EXPECT_EQ(cached_responses(service), 0u);
}

TEST_F(OperationsTest, AStaleEntryIsDroppedAndNeverServed) {
    client.on(active_alerts_url, {Exchange::ok(R"({"features":[1]})"), Exchange::with_status(404)});
    EXPECT_EQ(service.run_operation("alerts", "").status, 200);
    clock.advance(300s);
    EXPECT_EQ(service.run_operation("alerts", "").status, 502);
    EXPECT_EQ(cached_responses(service), 0u);
}

// Entries go once they are stale, whichever key is asked for next, so memory is not held for
// answers that can no longer be served.
TEST_F(OperationsTest, StaleEntriesOfOtherKeysAreDroppedToo) {
    client.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
    client.on(pilot_reports_url, Exchange::ok("[]"));
    service.run_operation("pireps", "");
    service.run_operation("alerts", "");
    EXPECT_EQ(cached_responses(service), 2u);
    clock.advance(180s - 1ns);
    service.run_operation("alerts", "");
    EXPECT_EQ(cached_responses(service), 2u);
    clock.advance(1ns);
    service.run_operation("alerts", "");  // a hit; the pilot reports are stale now
    EXPECT_EQ(cached_responses(service), 1u);
    clock.advance(120s);
    EXPECT_EQ(service.run_operation("point", "91,0").status, 400);  // no store, only a look-up
    EXPECT_EQ(cached_responses(service), 0u);
    EXPECT_EQ(client.requests_for(active_alerts_url), 1u);
    EXPECT_EQ(client.requests_for(pilot_reports_url), 1u);
}

// 160 boxes of 12 MiB each once took the cache to several gigabytes: the stored bodies now
// stay within the budget (64 MiB; 5 kB here), the oldest going first.
TEST_F(OperationsTest, StoredBodiesStayWithinTheByteBudget) {
    WeatherService budgeted(
        FetchContext{client, pauses.function()}, [this] { return clock.now(); }, 5000);
    const std::string body = "[\"" + std::string(996, 'x') + "\"]";
    const auto box = [](int east) { return "40,-112,41," + std::to_string(east); };
    const auto box_url = [](int east) {
        return std::string(metar_box_url_prefix) + "40.0000,-112.0000,41.0000," +
               std::to_string(east) + ".0000" + metar_box_url_suffix;
    };
    for (int east = -111; east <= -106; ++east) {
        client.on(box_url(east), Exchange::ok(body));
    }
    for (int east = -111; east <= -106; ++east) {
        EXPECT_EQ(budgeted.run_operation("metars", box(east)).body, body);
        clock.advance(1s);
    }
    EXPECT_EQ(cached_responses(budgeted), 5u) << "5 bodies of 1000 bytes fit in 5000, 6 do not";
    budgeted.run_operation("metars", box(-110));
    EXPECT_EQ(client.requests_for(box_url(-110)), 1u) << "still stored";
    budgeted.run_operation("metars", box(-111));
    EXPECT_EQ(client.requests_for(box_url(-111)), 2u) << "the oldest went first";
}

TEST_F(OperationsTest, ByteBudgetBoundaries) {
    constexpr std::size_t budget = ResponseCache::default_byte_budget;
    ASSERT_EQ(budget, 64u * 1024 * 1024);
    const auto response_of = [](std::size_t bytes) {
        return Response{200, std::string(bytes, ' ')};
    };
    struct Case {
        std::string name;
        std::vector<std::size_t> bodies;  // stored in this order, one second apart
        std::vector<bool> kept;
    };
    const Case cases[] = {
        {"exactly the budget in two", {budget / 2, budget / 2}, {true, true}},
        {"one byte over evicts the oldest", {budget / 2, budget / 2 + 1}, {false, true}},
        {"over by the third", {budget / 4, budget / 2, budget / 4 + 1}, {false, true, true}},
        {"one body of exactly the budget", {1, budget}, {false, true}},
        {"one body over the budget is not stored", {1, budget + 1}, {true, false}},
    };
    for (const auto& c : cases) {
        ResponseCache cache;
        auto now = clock.now();
        for (std::size_t i = 0; i < c.bodies.size(); ++i) {
            cache.store("k" + std::to_string(i), now, 300s, response_of(c.bodies[i]));
            now += 1s;
        }
        for (std::size_t i = 0; i < c.bodies.size(); ++i) {
            EXPECT_EQ(cache.find_fresh("k" + std::to_string(i), now).has_value(), c.kept[i])
                << c.name << ", entry " << i;
        }
    }
    // A body too large to keep still replaces the older answer of its key.
    ResponseCache cache;
    cache.store("k", clock.now(), 300s, response_of(10));
    cache.store("k", clock.now() + 1s, 300s, response_of(budget + 1));
    EXPECT_EQ(cache.size(), 0u);
}

TEST_F(OperationsTest, The129thKeyEvictsTheOldestEntry) {
    client.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
    for (int key = 0; key < 129; ++key) {
        service.run_operation("alerts", "k" + std::to_string(key));
        clock.advance(1ns);
        EXPECT_LE(cached_responses(service), 128u);
    }
    EXPECT_EQ(client.requests_for(active_alerts_url), 129u);
    service.run_operation("alerts", "k1");  // still cached
    EXPECT_EQ(client.requests_for(active_alerts_url), 129u);
    service.run_operation("alerts", "k0");  // evicted
    EXPECT_EQ(client.requests_for(active_alerts_url), 130u);
    EXPECT_EQ(cached_responses(service), 128u);
}

TEST_F(OperationsTest, AmongEqualTimesTheFirstKeyInOrderIsEvicted) {
    ResponseCache cache;
    const auto now = clock.now();
    for (int key = 0; key < 128; ++key) {
        cache.store("alerts:k" + std::to_string(100 + key), now, 300s, Response{200, "[]"});
    }
    cache.store("alerts:new", now, 300s, Response{200, "[]"});
    EXPECT_EQ(cache.size(), 128u);
    EXPECT_FALSE(cache.find_fresh("alerts:k100", now));
    EXPECT_TRUE(cache.find_fresh("alerts:k101", now));
    EXPECT_TRUE(cache.find_fresh("alerts:new", now));
}

TEST_F(OperationsTest, StoringAPresentKeyIntoAFullCacheStillEvictsFirst) {
    ResponseCache cache;
    const auto start = clock.now();
    for (int key = 0; key < 128; ++key) {
        cache.store("k" + std::to_string(100 + key), start + std::chrono::nanoseconds(key), 300s,
                    Response{200, "[]"});
    }
    cache.store("k227", start + 1s, 300s, Response{200, "[1]"});
    EXPECT_EQ(cache.size(), 127u);
    EXPECT_FALSE(cache.find_fresh("k100", start + 1s));
    EXPECT_EQ(cache.find_fresh("k227", start + 1s)->body, "[1]");
}

TEST_F(OperationsTest, RefusedPointsAreAnswered400EveryTimeAndNeverCached) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Response response = service.run_operation("point", "91,0");
        EXPECT_EQ(response.status, 400);
        EXPECT_EQ(body_of(response),
                  nlohmann::json({{"error", "Select a point in the contiguous United States"}}));
    }
    EXPECT_EQ(cached_responses(service), 0u);
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
    EXPECT_EQ(cached_responses(service), 1u);
}

std::string nested_arrays(std::size_t depth) {
    return std::string(depth, '[') + std::string(depth, ']');
}

// Every document an operation fetches, at 256 levels of nesting and at 257: the deeper one
// fails as a body that is not JSON does, with what that means for its operation.
TEST_F(OperationsTest, EveryOperationRefusesDocumentsNestedDeeperThan256Levels) {
    constexpr char points_url[] = "https://api.weather.gov/points/40.7600,-111.8900";
    constexpr char hourly_url[] = "https://api.weather.gov/gridpoints/SLC/101,174/forecast/hourly";
    constexpr char grid_url[] = "https://api.weather.gov/gridpoints/SLC/101,174";
    constexpr char stations_url[] = "https://api.weather.gov/gridpoints/SLC/101,174/stations";
    constexpr char observation_url[] = "https://api.weather.gov/stations/KSLC/observations/latest";
    constexpr char box_url[] =
        "https://aviationweather.gov/api/data/metar?bbox=40.0000,-112.0000,41.0000,-111.0000"
        "&format=json";
    constexpr char area_url[] =
        "https://aviationweather.gov/api/data/metar?bbox=31,-125,49.5,-102&format=json";
    constexpr char tafs_url[] =
        "https://aviationweather.gov/api/data/taf?bbox=31,-125,49.5,-102&format=json";
    constexpr char forecast_url[] = "https://api.weather.gov/gridpoints/SLC/101,174/forecast";
    constexpr char discussion_url[] =
        "https://api.weather.gov/products/types/AFD/locations/SLC/latest";
    constexpr char zone_url[] = "https://api.weather.gov/zones/forecast/UTZ110";
    constexpr char winds_url[] = "https://api.weather.gov/products/types/FD3/locations/US3/latest";
    constexpr char outlook_url[] =
        "https://api.weather.gov/products/types/HWO/locations/SLC/latest";
    const nlohmann::json points = {{"properties",
                                    {{"forecastHourly", hourly_url},
                                     {"forecastGridData", grid_url},
                                     {"observationStations", stations_url}}}};
    const nlohmann::json station = {
        {"id", "https://api.weather.gov/stations/KSLC"},
        {"properties", {{"name", "Salt Lake"}, {"stationIdentifier", "KSLC"}}}};
    const auto deep = [](nlohmann::json document, std::size_t depth) {
        // `document` is an object of depth 1 or an array of objects of depth 2.
        const std::size_t own = document.is_array() ? 2 : 1;
        (document.is_array() ? document[0] : document)["deep"] = nullptr;
        std::string text = document.dump();
        const std::string placeholder = "\"deep\":null";
        text.replace(text.find(placeholder), placeholder.size(),
                     "\"deep\":" + nested_arrays(depth - own));
        return text;
    };
    enum class Outcome { fails_502, warning, left_out };
    struct Case {
        std::string name;
        std::string operation;
        std::string argument;
        std::string url;          // the document made deep
        nlohmann::json document;  // its shallow form
        Outcome outcome;          // at 257 levels
        std::string warning_key;  // for Outcome::warning
        bool in_reply = true;     // whether the document itself is part of the reply
    };
    const std::string point = "40.76,-111.89";
    // clang-format off
    const Case cases[] = {
        {"alerts", "alerts", "", active_alerts_url, {{"features", nlohmann::json::array()}},
         Outcome::fails_502, ""},
        {"pireps", "pireps", "", pilot_reports_url, nlohmann::json::array({{{"rawOb", "UA"}}}),
         Outcome::fails_502, ""},
        {"metars box", "metars", "40,-112,41,-111", box_url,
         nlohmann::json::array({{{"icaoId", "KSLC"}}}), Outcome::fails_502, ""},
        {"metars of the area", "metars", "", area_url,
         nlohmann::json::array({{{"icaoId", "KSLC"}}}), Outcome::fails_502, ""},
        {"metars of the fixed stations", "metars", "", fixed_stations_metar_url,
         nlohmann::json::array({{{"icaoId", "KSGU"}}}), Outcome::left_out, ""},
        {"points", "point", point, points_url, points, Outcome::fails_502, ""},
        {"hourly", "point", point, hourly_url, {{"properties", {{"periods", 1}}}},
         Outcome::warning, "hourly"},
        {"grid", "point", point, grid_url, {{"properties", {{"skyCover", 1}}}},
         Outcome::warning, "grid"},
        {"station list", "point", point, stations_url,
         {{"features", nlohmann::json::array({station})}}, Outcome::warning, "observation", false},
        {"observation", "point", point, observation_url, {{"properties", {{"rawMessage", "KSLC"}}}},
         Outcome::warning, "observation"},
        {"tafs", "tafs", "", tafs_url, nlohmann::json::array({{{"icaoId", "KSLC"}}}),
         Outcome::fails_502, ""},
        {"sigmets", "hazards", "", sigmets_url, nlohmann::json::array({{{"hazard", "TURB"}}}),
         Outcome::warning, "sigmets"},
        {"gairmets", "hazards", "", gairmets_url, nlohmann::json::array({{{"hazard", "ICE"}}}),
         Outcome::warning, "gairmets"},
        {"cwas", "hazards", "", center_advisories_url, nlohmann::json::array({{{"cwsu", "ZLC"}}}),
         Outcome::warning, "cwas"},
        {"forecast", "forecast", "SLC/101,174", forecast_url,
         {{"properties", {{"periods", nlohmann::json::array()}}}}, Outcome::fails_502, ""},
        {"discussion", "discussion", "SLC", discussion_url, {{"productText", "AFD"}},
         Outcome::fails_502, "", false},
        {"zone", "zone", "forecast/UTZ110", zone_url, {{"geometry", nullptr}},
         Outcome::fails_502, ""},
        {"winds", "winds", "12", winds_url, {{"productText", "FD3US3"}}, Outcome::fails_502, "",
         false},
        {"outlook", "outlook", "HWO/SLC", outlook_url, {{"productText", "HWO"}},
         Outcome::fails_502, "", false},
        {"avalanche", "avalanche", "", avalanche_map_layer_url,
         {{"features", nlohmann::json::array()}}, Outcome::fails_502, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        for (const std::size_t depth : {std::size_t{256}, std::size_t{257}}) {
            SCOPED_TRACE(c.name + " at " + std::to_string(depth) + " levels");
            ScriptedClient scripted;
            scripted.on(active_alerts_url, Exchange::ok(R"({"features":[]})"));
            scripted.on(pilot_reports_url, Exchange::ok("[]"));
            scripted.on(box_url, Exchange::ok(R"([{"icaoId":"KSLC"}])"));
            scripted.on(area_url, Exchange::ok(R"([{"icaoId":"KSLC"}])"));
            scripted.on(fixed_stations_metar_url, Exchange::ok(R"([{"icaoId":"KSGU"}])"));
            scripted.on(points_url, Exchange::ok(points.dump()));
            scripted.on(hourly_url, Exchange::ok("{}"));
            scripted.on(grid_url, Exchange::ok("{}"));
            scripted.on(stations_url,
                        Exchange::ok(nlohmann::json({{"features", {station}}}).dump()));
            scripted.on(observation_url, Exchange::ok(R"({"properties":{}})"));
            scripted.on(tafs_url, Exchange::ok("[]"));
            scripted.on(sigmets_url, Exchange::ok("[]"));
            scripted.on(gairmets_url, Exchange::ok("[]"));
            scripted.on(center_advisories_url, Exchange::ok("[]"));
            scripted.on(forecast_url, Exchange::ok(R"({"properties":{"periods":[]}})"));
            scripted.on(discussion_url, Exchange::ok(R"({"productText":"AFD"})"));
            scripted.on(zone_url, Exchange::ok(R"({"geometry":null})"));
            scripted.on(winds_url, Exchange::ok(R"({"productText":"FD3US3"})"));
            scripted.on(outlook_url, Exchange::ok(R"({"productText":"HWO"})"));
            scripted.on(avalanche_map_layer_url, Exchange::ok(R"({"features":[]})"));
            scripted.on(c.url, Exchange::ok(deep(c.document, depth)));
            WeatherService fresh(FetchContext{scripted, pauses.function()});

            const Response response = fresh.run_operation(c.operation, c.argument);
            const std::string deepest(depth - 2, '[');
            const std::string refusal =
                "Weather service returned an invalid JSON response: " + c.url;
            if (depth == 256) {
                ASSERT_EQ(response.status, 200) << response.body.substr(0, 300);
                EXPECT_EQ(response.body.find(deepest) != std::string::npos, c.in_reply);
                const auto reply = nlohmann::json::parse(response.body);
                if (c.operation == "point" || c.operation == "hazards") {
                    EXPECT_EQ(reply["warnings"], nlohmann::json::array());
                }
                continue;
            }
            EXPECT_EQ(response.body.find(deepest.substr(0, 200)), std::string::npos);
            switch (c.outcome) {
                case Outcome::fails_502:
                    EXPECT_EQ(response.status, 502);
                    EXPECT_EQ(body_of(response), nlohmann::json({{"error", refusal}}));
                    break;
                case Outcome::warning:
                    ASSERT_EQ(response.status, 200);
                    EXPECT_EQ(body_of(response)["warnings"],
                              nlohmann::json::array({c.warning_key + ": " + refusal}));
                    break;
                case Outcome::left_out:
                    ASSERT_EQ(response.status, 200);
                    EXPECT_EQ(body_of(response), nlohmann::json::parse(R"([{"icaoId":"KSLC"}])"));
                    break;
            }
            EXPECT_EQ(scripted.requests_for(c.url), 1u) << "not retried";
        }
    }
}

// A million levels (2 MB) through the whole operation: refused, never walked recursively.
TEST_F(OperationsTest, SurvivesAMillionLevelsOfNesting) {
    client.on(active_alerts_url, Exchange::ok("{\"features\":" + nested_arrays(1000000) + "}"));
    const Response response = service.run_operation("alerts", "");
    EXPECT_EQ(response.status, 502);
    EXPECT_EQ(body_of(response),
              nlohmann::json({{"error", std::string("Weather service returned an invalid JSON "
                                                    "response: ") +
                                            active_alerts_url}}));
}

}  // namespace
}  // namespace weather::testing
