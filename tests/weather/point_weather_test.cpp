#include <condition_variable>
#include <map>
#include <regex>

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"
#include "weather/operations.h"

namespace weather::testing {
namespace {

constexpr char points_url[] = "https://api.weather.gov/points/40.7600,-111.8900";
constexpr char hourly_url[] = "https://api.weather.gov/gridpoints/SLC/101,174/forecast/hourly";
constexpr char grid_url[] = "https://api.weather.gov/gridpoints/SLC/101,174";
constexpr char stations_url[] = "https://api.weather.gov/gridpoints/SLC/101,174/stations";
constexpr char observation_url[] = "https://api.weather.gov/stations/KSLC/observations/latest";
constexpr char missing[] = "This forecast location does not provide the requested product";

nlohmann::json points_document() {
    return {{"id", "https://api.weather.gov/points/40.76,-111.89"},
            {"properties",
             {{"forecastHourly", hourly_url},
              {"forecastGridData", grid_url},
              {"observationStations", stations_url},
              {"gridId", "SLC"}}}};
}

nlohmann::json station_list(nlohmann::json first_feature) {
    return {{"type", "FeatureCollection"},
            {"features",
             {std::move(first_feature),
              {{"id", "https://api.weather.gov/stations/KU42"},
               {"properties",
                {{"name", "Salt Lake City Airport #2"}, {"stationIdentifier", "KU42"}}}}}}};
}

nlohmann::json kslc_feature() {
    return {{"id", "https://api.weather.gov/stations/KSLC"},
            {"properties",
             {{"name", "Salt Lake City International Airport"}, {"stationIdentifier", "KSLC"}}}};
}

nlohmann::json observation_document() {
    return {{"type", "Feature"},
            {"properties",
             {{"rawMessage", "METAR KSLC 201754Z 33008KT 10SM FEW060 08/M02 A3012"},
              {"stationName", "from the observation"}}}};
}

class PointWeatherTest : public ::testing::Test {
protected:
    PointWeatherTest() : service(FetchContext{client, pauses.function()}) {}

    void script_all_products() {
        client.on(points_url, Exchange::ok(points_document().dump(4)));
        client.on(hourly_url, Exchange::ok(R"({"properties":{"periods":[{"number":1}]}})"));
        client.on(grid_url, Exchange::ok(R"({"properties":{"skyCover":{"values":[]}}})"));
        client.on(stations_url, Exchange::ok(station_list(kslc_feature()).dump()));
        client.on(observation_url, Exchange::ok(observation_document().dump()));
    }

    nlohmann::json run(const std::string& argument, int expected_status = 200) {
        const Response response = service.run_operation("point", argument);
        EXPECT_EQ(response.status, expected_status) << response.body;
        EXPECT_EQ(response.content_type, "application/json; charset=utf-8");
        return nlohmann::json::parse(response.body);
    }

    ScriptedClient client;
    PauseRecorder pauses;
    WeatherService service;
};

TEST_F(PointWeatherTest, GathersThePointAndAllThreeProducts) {
    script_all_products();
    const nlohmann::json reply = run("40.76,-111.89");
    EXPECT_EQ(reply["point"], points_document());
    EXPECT_EQ(reply["hourly"]["properties"]["periods"][0]["number"], 1);
    EXPECT_TRUE(reply["grid"]["properties"].contains("skyCover"));
    EXPECT_EQ(reply["observation"]["properties"]["stationName"],
              "Salt Lake City International Airport");
    EXPECT_EQ(reply["observation"]["properties"]["stationIdentifier"], "KSLC");
    EXPECT_EQ(reply["warnings"], nlohmann::json::array());
    EXPECT_EQ(reply["source"], "NOAA National Weather Service");
    const std::string retrieved_at = reply["retrievedAt"];
    EXPECT_TRUE(std::regex_match(retrieved_at, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
        << retrieved_at;
    std::vector<std::string> keys;
    for (const auto& item : reply.items()) {
        keys.push_back(item.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"grid", "hourly", "observation", "point",
                                              "retrievedAt", "source", "warnings"}));
    EXPECT_EQ(client.open_exchanges(), 0);
}

TEST_F(PointWeatherTest, WritesThePointWithFourDecimals) {
    struct Case {
        std::string argument;
        std::string object_name;
    };
    const Case cases[] = {
        {"40.76,-111.89", "/points/40.7600,-111.8900"},
        {"40.7608,-111.8910", "/points/40.7608,-111.8910"},
        {" 40.7608 , -111.8910  ", "/points/40.7608,-111.8910"},
        {"40.760849,-111.891047", "/points/40.7608,-111.8910"},
        {"24,-126", "/points/24.0000,-126.0000"},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;  // answers 404 to everything
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        const Response response = fresh.run_operation("point", c.argument);
        EXPECT_EQ(response.status, 502);
        const auto requests = scripted.requests();
        ASSERT_EQ(requests.size(), 1u) << "a 404 is not retried and no product is requested";
        EXPECT_EQ(requests[0].object_name, c.object_name);
        EXPECT_EQ(
            nlohmann::json::parse(response.body),
            nlohmann::json({{"error", "Weather service returned HTTP 404: https://api.weather.gov" +
                                          c.object_name}}));
    }
}

TEST_F(PointWeatherTest, ReportsAFailedProductAsAWarning) {
    script_all_products();
    client.on(hourly_url, Exchange::with_status(503));
    const nlohmann::json reply = run("40.76,-111.89");
    EXPECT_TRUE(reply["hourly"].is_null());
    EXPECT_FALSE(reply["grid"].is_null());
    EXPECT_FALSE(reply["observation"].is_null());
    EXPECT_EQ(reply["warnings"],
              nlohmann::json::array(
                  {std::string("hourly: Weather service returned HTTP 503: ") + hourly_url}));
    EXPECT_EQ(client.requests_for(hourly_url), 2u);
}

// Only a link of exactly its product's form is followed: anything else (another host, another
// product's path, dot segments, a query or fragment, escapes) is a product the location lacks.
TEST_F(PointWeatherTest, LinksOfAnyOtherFormAreProductsTheLocationLacks) {
    struct Case {
        std::string link;
        nlohmann::json value;  // null: the link is missing
    };
    const std::string grid = grid_url;
    const std::string hourly = hourly_url;
    const std::string stations = stations_url;
    const std::string office = "https://api.weather.gov/gridpoints/";
    const Case cases[] = {
        {"forecastGridData", nullptr},
        {"forecastGridData", 42},
        {"forecastGridData", "http://api.weather.gov/gridpoints/SLC/101,174"},
        {"forecastGridData", "https://API.weather.gov/gridpoints/SLC/101,174"},
        {"forecastGridData", "https://api.weather.gov.example/gridpoints/SLC/101,174"},
        {"forecastGridData", "https://api.weather.gov"},
        {"forecastGridData", "https://api.weather.gov:8443/gridpoints/SLC/101,174"},
        {"forecastGridData", grid + "/"},
        {"forecastGridData", grid + "?units=si"},
        {"forecastGridData", grid + "#grid"},
        {"forecastGridData", grid + "/../../../alerts/active"},
        {"forecastGridData", office + "SLC/./101,174"},
        {"forecastGridData", office + "../gridpoints/SLC/101,174"},
        {"forecastGridData", office + "slc/101,174"},
        {"forecastGridData", office + "SLCX/101,174"},
        {"forecastGridData", office + "S%4CC/101,174"},
        {"forecastGridData", office + "SLC/101;174"},
        {"forecastGridData", office + "SLC/-1,174"},
        {"forecastGridData", office + "SLC/101,"},
        {"forecastGridData", office + "SLC/101,174/forecast"},
        {"forecastHourly", grid},
        {"forecastHourly", hourly + "/"},
        {"forecastHourly", hourly + "?units=si"},
        {"forecastHourly", office + "SLC/101,174/forecast/../forecast/hourly"},
        {"forecastHourly", office + "SLC/101,174/forecast/hourly/.."},
        {"observationStations", stations + "?limit=1"},
        {"observationStations", stations + "/.."},
        {"observationStations", "https://api.weather.gov/stations/KSLC"},
        {"observationStations", hourly},
    };
    const std::map<std::string, std::string> warning_key = {{"forecastHourly", "hourly"},
                                                            {"forecastGridData", "grid"},
                                                            {"observationStations", "observation"}};
    for (const auto& c : cases) {
        ScriptedClient scripted;
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        nlohmann::json points = points_document();
        if (c.value.is_null()) {
            points["properties"].erase(c.link);
        } else {
            points["properties"][c.link] = c.value;
        }
        scripted.on(points_url, Exchange::ok(points.dump()));
        scripted.on(hourly_url, Exchange::ok("{}"));
        scripted.on(grid_url, Exchange::ok("{}"));
        scripted.on(stations_url, Exchange::ok(station_list(kslc_feature()).dump()));
        scripted.on(observation_url, Exchange::ok(observation_document().dump()));
        const Response response = fresh.run_operation("point", "40.76,-111.89");
        ASSERT_EQ(response.status, 200);
        const auto reply = nlohmann::json::parse(response.body);
        const std::string key = warning_key.at(c.link);
        EXPECT_EQ(reply["warnings"], nlohmann::json::array({key + ": " + missing})) << c.value;
        EXPECT_TRUE(reply[key].is_null());
        // The points lookup and the other products only: nothing is asked for this product.
        EXPECT_EQ(scripted.request_count(), key == "observation" ? 3u : 4u) << c.value;
    }
}

TEST_F(PointWeatherTest, APointsDocumentThatIsNotAnObjectYieldsThreeWarnings) {
    for (const char* document : {"[]", "\"text\"", "{\"properties\": []}", "{}"}) {
        ScriptedClient scripted;
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        scripted.on(points_url, Exchange::ok(document));
        const Response response = fresh.run_operation("point", "40.76,-111.89");
        ASSERT_EQ(response.status, 200);
        const auto reply = nlohmann::json::parse(response.body);
        EXPECT_EQ(reply["point"], nlohmann::json::parse(document));
        EXPECT_EQ(reply["warnings"],
                  nlohmann::json::array({std::string("hourly: ") + missing,
                                         std::string("grid: ") + missing,
                                         std::string("observation: ") + missing}));
        EXPECT_EQ(scripted.request_count(), 1u);
    }
}

TEST_F(PointWeatherTest, APointsLookupThatFailsEndsTheOperationWith502) {
    struct Case {
        Exchange answer;
        std::string error;
    };
    const Case cases[] = {
        {Exchange::with_status(404),
         std::string("Weather service returned HTTP 404: ") + points_url},
        {Exchange::with_status(204),
         std::string("Weather service returned an invalid JSON response: ") + points_url},
        {Exchange::ok("<html>"),
         std::string("Weather service returned an invalid JSON response: ") + points_url},
        {Exchange::with_status(301),
         std::string("Weather service returned HTTP 301: ") + points_url},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        scripted.on(points_url, c.answer);
        const Response response = fresh.run_operation("point", "40.76,-111.89");
        EXPECT_EQ(response.status, 502);
        EXPECT_EQ(nlohmann::json::parse(response.body), nlohmann::json({{"error", c.error}}));
        EXPECT_EQ(cached_responses(fresh), 0u);
    }
}

TEST_F(PointWeatherTest, NearestStationRules) {
    struct Case {
        const char* name;
        nlohmann::json stations;  // null: the list request fails with 404
        std::string warning;      // "" when the observation arrives
        std::size_t observation_requests;
    };
    const Case cases[] = {
        {"empty features",
         {{"features", nlohmann::json::array()}},
         "No nearby reporting stations were returned",
         0},
        {"no features",
         {{"type", "FeatureCollection"}},
         "No nearby reporting stations were returned",
         0},
        {"features not array",
         {{"features", {{"id", "x"}}}},
         "No nearby reporting stations were returned",
         0},
        {"list not object", nlohmann::json::array({kslc_feature()}),
         "No nearby reporting stations were returned", 0},
        {"id a number", station_list({{"id", 7}}),
         "Nearest weather station has no valid identifier", 0},
        {"no id", station_list({{"properties", nlohmann::json::object()}}),
         "Nearest weather station has no valid identifier", 0},
        {"feature not object", station_list("KSLC"),
         "Nearest weather station has no valid identifier", 0},
        {"http id", station_list({{"id", "http://api.weather.gov/stations/KSLC"}}),
         "Nearest weather station URL is invalid", 0},
        {"other host", station_list({{"id", "https://example.com/stations/KSLC"}}),
         "Nearest weather station URL is invalid", 0},
        {"not under stations", station_list({{"id", "https://api.weather.gov/zones/KSLC"}}),
         "Nearest weather station URL is invalid", 0},
        {"dot segments and a query",
         station_list({{"id", "https://api.weather.gov/stations/../alerts/active?area=UT#"}}),
         "Nearest weather station URL is invalid", 0},
        {"no identifier", station_list({{"id", "https://api.weather.gov/stations/"}}),
         "Nearest weather station URL is invalid", 0},
        {"trailing slash", station_list({{"id", "https://api.weather.gov/stations/KSLC/"}}),
         "Nearest weather station URL is invalid", 0},
        {"a further segment",
         station_list({{"id", "https://api.weather.gov/stations/KSLC/observations"}}),
         "Nearest weather station URL is invalid", 0},
        {"query", station_list({{"id", "https://api.weather.gov/stations/KSLC?x=1"}}),
         "Nearest weather station URL is invalid", 0},
        {"fragment", station_list({{"id", "https://api.weather.gov/stations/KSLC#x"}}),
         "Nearest weather station URL is invalid", 0},
        {"dot", station_list({{"id", "https://api.weather.gov/stations/.."}}),
         "Nearest weather station URL is invalid", 0},
        {"escape", station_list({{"id", "https://api.weather.gov/stations/%4BSLC"}}),
         "Nearest weather station URL is invalid", 0},
        {"blank", station_list({{"id", "https://api.weather.gov/stations/K SLC"}}),
         "Nearest weather station URL is invalid", 0},
        {"port", station_list({{"id", "https://api.weather.gov:8443/stations/KSLC"}}),
         "Nearest weather station URL is invalid", 0},
        {"list fails", nullptr, std::string("Weather service returned HTTP 404: ") + stations_url,
         0},
        {"kslc", station_list(kslc_feature()), "", 1},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        scripted.on(points_url, Exchange::ok(points_document().dump()));
        scripted.on(hourly_url, Exchange::ok("{}"));
        scripted.on(grid_url, Exchange::ok("{}"));
        if (!c.stations.is_null()) {
            scripted.on(stations_url, Exchange::ok(c.stations.dump()));
        }
        scripted.on(observation_url, Exchange::ok(observation_document().dump()));
        const Response response = fresh.run_operation("point", "40.76,-111.89");
        ASSERT_EQ(response.status, 200) << c.name;
        const auto reply = nlohmann::json::parse(response.body);
        if (c.warning.empty()) {
            EXPECT_EQ(reply["warnings"], nlohmann::json::array()) << c.name;
        } else {
            EXPECT_EQ(reply["warnings"], nlohmann::json::array({"observation: " + c.warning}))
                << c.name;
            EXPECT_TRUE(reply["observation"].is_null()) << c.name;
        }
        EXPECT_EQ(scripted.requests_for(observation_url), c.observation_requests) << c.name;
        EXPECT_EQ(scripted.request_count(), 4 + c.observation_requests) << c.name;
    }
}

TEST_F(PointWeatherTest, StationLabelsFollowTheStationList) {
    struct Case {
        const char* name;
        nlohmann::json feature;
        nlohmann::json expected_properties;
    };
    const auto observed = observation_document()["properties"];
    const Case cases[] = {
        {"overwrites",
         kslc_feature(),
         {{"rawMessage", observed["rawMessage"]},
          {"stationName", "Salt Lake City International Airport"},
          {"stationIdentifier", "KSLC"}}},
        {"no properties", {{"id", "https://api.weather.gov/stations/KSLC"}}, observed},
        {"no name",
         {{"id", "https://api.weather.gov/stations/KSLC"},
          {"properties", {{"stationIdentifier", "KSLC"}}}},
         {{"rawMessage", observed["rawMessage"]},
          {"stationName", ""},
          {"stationIdentifier", "KSLC"}}},
        {"padded name",
         {{"id", "https://api.weather.gov/stations/KSLC"},
          {"properties",
           {{"name", "CW1234 Sugar House        UT US"}, {"stationIdentifier", "C1234"}}}},
         {{"rawMessage", observed["rawMessage"]},
          {"stationName", "CW1234 Sugar House        UT US"},
          {"stationIdentifier", "C1234"}}},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        WeatherService fresh(FetchContext{scripted, pauses.function()});
        scripted.on(points_url, Exchange::ok(points_document().dump()));
        scripted.on(stations_url, Exchange::ok(station_list(c.feature).dump()));
        scripted.on(observation_url, Exchange::ok(observation_document().dump()));
        const auto reply =
            nlohmann::json::parse(fresh.run_operation("point", "40.76,-111.89").body);
        EXPECT_EQ(reply["observation"]["properties"], c.expected_properties) << c.name;
    }
}

TEST_F(PointWeatherTest, OnlyTheFirstStationIsTried) {
    script_all_products();
    client.on(observation_url, Exchange::with_status(404));
    const auto reply = run("40.76,-111.89");
    EXPECT_EQ(
        reply["warnings"],
        nlohmann::json::array(
            {std::string("observation: Weather service returned HTTP 404: ") + observation_url}));
    EXPECT_EQ(client.requests_for("https://api.weather.gov/stations/KU42/observations/latest"), 0u);
}

TEST_F(PointWeatherTest, ANonStringStationNameEndsTheOperationWith502) {
    script_all_products();
    client.on(stations_url,
              Exchange::ok(station_list({{"id", "https://api.weather.gov/stations/KSLC"},
                                         {"properties", {{"name", 12}}}})
                               .dump()));
    const Response response = service.run_operation("point", "40.76,-111.89");
    EXPECT_EQ(response.status, 502);
    const auto error = nlohmann::json::parse(response.body)["error"].get<std::string>();
    EXPECT_NE(error.find("type must be string"), std::string::npos) << error;
    EXPECT_EQ(cached_responses(service), 0u);
}

TEST_F(PointWeatherTest, EveryProductFailingIsStillA200) {
    client.on(points_url, Exchange::ok(points_document().dump()));
    client.on(hourly_url, Exchange::with_status(500));
    client.on(grid_url, Exchange::failure(Step::send, 12002));
    client.on(stations_url, Exchange::with_status(404));
    const auto reply = run("40.76,-111.89");
    EXPECT_TRUE(reply["hourly"].is_null());
    EXPECT_TRUE(reply["grid"].is_null());
    EXPECT_TRUE(reply["observation"].is_null());
    EXPECT_EQ(
        reply["warnings"],
        nlohmann::json::array(
            {std::string("hourly: Weather service returned HTTP 500: ") + hourly_url,
             std::string("grid: Weather download failed (Windows error 12002): ") + grid_url,
             std::string("observation: Weather service returned HTTP 404: ") + stations_url}));
}

TEST_F(PointWeatherTest, AProductWithAnErrorKeyOfItsOwnCountsAsFailed) {
    script_all_products();
    client.on(hourly_url, Exchange::ok(R"({"_requestError": "from the service"})"));
    client.on(grid_url, Exchange::ok(R"({"_requestError": 5})"));
    const auto reply = run("40.76,-111.89");
    EXPECT_EQ(reply["warnings"], nlohmann::json::array({"hourly: from the service", "grid: 5"}));
}

// The three products must be in flight together: each answer waits until all three requests
// have been sent. Fetched one after another, they would time out instead.
TEST_F(PointWeatherTest, FetchesTheThreeProductsConcurrently) {
    std::mutex mutex;
    std::condition_variable all_sent;
    int sent = 0;
    bool timed_out = false;
    client.on(points_url, Exchange::ok(points_document().dump()));
    for (const char* url : {hourly_url, grid_url, stations_url}) {
        Exchange answer = Exchange::ok("{\"features\": []}");
        answer.on_send = [&] {
            std::unique_lock lock(mutex);
            ++sent;
            all_sent.notify_all();
            if (!all_sent.wait_for(lock, std::chrono::seconds(10), [&] { return sent >= 3; })) {
                timed_out = true;
            }
        };
        client.on(url, answer);
    }
    run("40.76,-111.89");
    EXPECT_FALSE(timed_out);
}

TEST_F(PointWeatherTest, WarningsKeepTheirOrderWhateverFinishesFirst) {
    client.on(points_url, Exchange::ok(points_document().dump()));
    Exchange slow_hourly = Exchange::with_status(404);
    slow_hourly.delay = std::chrono::milliseconds(150);
    client.on(hourly_url, slow_hourly);
    client.on(grid_url, Exchange::with_status(404));
    client.on(stations_url, Exchange::ok(R"({"features": []})"));
    const auto reply = run("40.76,-111.89");
    ASSERT_EQ(reply["warnings"].size(), 3u);
    EXPECT_EQ(reply["warnings"][0].get<std::string>().rfind("hourly: ", 0), 0u);
    EXPECT_EQ(reply["warnings"][1].get<std::string>().rfind("grid: ", 0), 0u);
    EXPECT_EQ(reply["warnings"][2].get<std::string>().rfind("observation: ", 0), 0u);
}

}  // namespace
}  // namespace weather::testing
