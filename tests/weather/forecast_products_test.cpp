#include "weather/forecast_products.h"

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"
#include "weather/operations.h"

namespace weather::testing {
namespace {

using nlohmann::json;

constexpr char forecast_url[] = "https://api.weather.gov/gridpoints/SLC/101,174/forecast";
constexpr char discussion_url[] = "https://api.weather.gov/products/types/AFD/locations/SLC/latest";
constexpr char zone_url[] = "https://api.weather.gov/zones/forecast/UTZ110";
constexpr char winds_url[] = "https://api.weather.gov/products/types/FD1/locations/US1/latest";
constexpr char outlook_url[] = "https://api.weather.gov/products/types/HWO/locations/SLC/latest";

class ForecastProductsTest : public ::testing::Test {
protected:
    Response run(const std::string& operation, const std::string& argument) {
        WeatherService service(FetchContext{client, pauses.function()});
        return service.run_operation(operation, argument);
    }
    static json body_of(const Response& response) { return json::parse(response.body); }

    ScriptedClient client;
    PauseRecorder pauses;
};

TEST_F(ForecastProductsTest, AsksForTheCellWithItsNumbersWrittenPlainly) {
    const std::pair<std::string, std::string> cases[] = {
        {"SLC/101,174", forecast_url},
        {"SLC/0101,0174", forecast_url},
        {"PQR/0,0", "https://api.weather.gov/gridpoints/PQR/0,0/forecast"},
        {"TWC/999,999", "https://api.weather.gov/gridpoints/TWC/999,999/forecast"},
    };
    for (const auto& [argument, url] : cases) {
        client.on(url, Exchange::ok(R"({"properties": {"periods": []}})"));
        const Response response = run("forecast", argument);
        EXPECT_EQ(response.status, 200) << argument;
        EXPECT_EQ(response.body, R"({"properties":{"periods":[]}})");
        EXPECT_EQ(client.requests_for(url), argument == "SLC/0101,0174" ? 2u : 1u) << argument;
    }
}

TEST_F(ForecastProductsTest, ForecastDocumentsNeedAPeriodsArray) {
    const std::string source = forecast_url;
    const json refused = {{"error", "NWS forecast service returned an unexpected data format"},
                          {"source", source}};
    const std::pair<std::string, int> cases[] = {
        {R"({"properties":{"periods":[{"number":1}]},"type":"Feature"})", 200},
        {R"({"properties":{"periods":[]}})", 200},
        {R"({"properties":{"periods":{}}})", 502},
        {R"({"properties":{"periods":null}})", 502},
        {R"({"properties":{}})", 502},
        {R"({"properties":[{"periods":[]}]})", 502},
        {R"({"periods":[]})", 502},
        {R"([{"properties":{"periods":[]}}])", 502},
        {R"("properties")", 502},
    };
    for (const auto& [document, status] : cases) {
        client.on(forecast_url, Exchange::ok(document));
        const Response response = run("forecast", "SLC/101,174");
        EXPECT_EQ(response.status, status) << document;
        EXPECT_EQ(body_of(response), status == 200 ? json::parse(document) : refused) << document;
    }
}

TEST_F(ForecastProductsTest, FailuresAndRefusals) {
    struct Case {
        std::string operation;
        std::string argument;
        Exchange answer;
        int status;
        json body;
    };
    const std::string forecast = forecast_url;
    const std::string discussion = discussion_url;
    const std::string zone = zone_url;
    const std::string winds = winds_url;
    const Case cases[] = {
        {"forecast",
         "SLC/101,174",
         Exchange::with_status(404),
         502,
         {{"error", "Weather service returned HTTP 404: " + forecast}}},
        {"forecast",
         "SLC/101,174",
         Exchange::with_status(204),
         502,
         {{"error", "Weather service returned an invalid JSON response: " + forecast}}},
        {"forecast",
         "SLC/101 ,174",
         Exchange::ok("{}"),
         400,
         {{"error", "Expected a forecast grid as office/x,y"}}},
        {"forecast",
         "",
         Exchange::ok("{}"),
         400,
         {{"error", "Expected a forecast grid as office/x,y"}}},
        {"discussion",
         "SLC",
         Exchange::with_status(503),
         502,
         {{"error", "Weather service returned HTTP 503: " + discussion}}},
        {"discussion",
         "SLC",
         Exchange::with_status(204),
         502,
         {{"error", "Weather service returned an invalid JSON response: " + discussion}}},
        {"discussion",
         "slc",
         Exchange::ok("{}"),
         400,
         {{"error", "Expected a forecast office as three letters"}}},
        {"discussion",
         "",
         Exchange::ok("{}"),
         400,
         {{"error", "Expected a forecast office as three letters"}}},
        {"zone",
         "forecast/UTZ110",
         Exchange::with_status(404),
         502,
         {{"error", "Weather service returned HTTP 404: " + zone}}},
        {"zone",
         "forecast/UTZ110",
         Exchange::with_status(204),
         502,
         {{"error", "Weather service returned an invalid JSON response: " + zone}}},
        {"zone",
         "forecast/UTZ110",
         Exchange::ok(R"({"geometry":null} x)"),
         502,
         {{"error", "Weather service returned an invalid JSON response: " + zone}}},
        {"zone",
         "forecast/utz110",
         Exchange::ok(R"({"geometry":null})"),
         400,
         {{"error",
           "Expected a zone as type/ID, such as forecast/UTZ110, fire/UTZ110 or "
           "county/UTC035"}}},
        {"zone",
         "",
         Exchange::ok(R"({"geometry":null})"),
         400,
         {{"error",
           "Expected a zone as type/ID, such as forecast/UTZ110, fire/UTZ110 or "
           "county/UTC035"}}},
        {"winds",
         "06",
         Exchange::with_status(404),
         502,
         {{"error", "Weather service returned HTTP 404: " + winds}}},
        {"winds",
         "06",
         Exchange::with_status(503),
         502,
         {{"error", "Weather service returned HTTP 503: " + winds}}},
        {"winds",
         "06",
         Exchange::with_status(204),
         502,
         {{"error", "Weather service returned an invalid JSON response: " + winds}}},
        {"winds",
         "SLC",
         Exchange::ok("{}"),
         400,
         {{"error", "Expected a winds bulletin as 06, 12, 24 or high"}}},
        {"outlook",
         "HWO/SLC",
         Exchange::with_status(404),
         502,
         {{"error", "Weather service returned HTTP 404: " + std::string(outlook_url)}}},
        {"outlook",
         "HWO/SLC",
         Exchange::with_status(204),
         502,
         {{"error",
           "Weather service returned an invalid JSON response: " + std::string(outlook_url)}}},
    };
    for (const auto& c : cases) {
        ScriptedClient scripted;
        scripted.on(forecast_url, c.answer);
        scripted.on(discussion_url, c.answer);
        scripted.on(zone_url, c.answer);
        scripted.on(winds_url, c.answer);
        scripted.on(outlook_url, c.answer);
        WeatherService service(FetchContext{scripted, pauses.function()});
        const Response response = service.run_operation(c.operation, c.argument);
        EXPECT_EQ(response.status, c.status) << c.operation << " " << c.argument;
        EXPECT_EQ(body_of(response), c.body) << c.operation << " " << c.argument;
        EXPECT_EQ(cached_responses(service), 0u);
        EXPECT_EQ(scripted.request_count() > 0, c.status == 502);
    }
}

TEST_F(ForecastProductsTest, DiscussionsKeepTheTextTheOfficeAndTheTime) {
    const json refused = {{"error", "NWS discussion service returned an unexpected data format"},
                          {"source", discussion_url}};
    const std::pair<std::string, json> cases[] = {
        {R"({"@id":"x","issuanceTime":"2026-11-20T17:11:00+00:00","issuingOffice":"KSLC",
             "productCode":"AFD","productText":"\n000\nFXUS65 KSLC 201711\n"})",
         {{"issuanceTime", "2026-11-20T17:11:00+00:00"},
          {"issuingOffice", "KSLC"},
          {"productText", "\n000\nFXUS65 KSLC 201711\n"}}},
        {R"({"productText":""})",
         {{"issuanceTime", nullptr}, {"issuingOffice", nullptr}, {"productText", ""}}},
        {R"({"issuanceTime":17,"issuingOffice":null,"productText":"x"})",
         {{"issuanceTime", 17}, {"issuingOffice", nullptr}, {"productText", "x"}}},
        {R"({"productText":null})", refused},
        {R"({"productText":["x"]})", refused},
        {R"({"issuingOffice":"KSLC"})", refused},
        {R"({"@graph":[]})", refused},
        {R"([{"productText":"x"}])", refused},
    };
    for (const auto& [document, expected] : cases) {
        client.on(discussion_url, Exchange::ok(document));
        const Response response = run("discussion", "SLC");
        EXPECT_EQ(response.status, expected.contains("error") ? 502 : 200) << document;
        EXPECT_EQ(body_of(response), expected) << document;
    }
}

TEST_F(ForecastProductsTest, ZonesAskTheirOwnDocumentAndPassItOnCompactly) {
    const std::pair<std::string, std::string> asked[] = {
        {"forecast/UTZ110", zone_url},
        {"fire/UTZ478", "https://api.weather.gov/zones/fire/UTZ478"},
        {"county/UTC035", "https://api.weather.gov/zones/county/UTC035"},
    };
    for (const auto& [argument, url] : asked) {
        client.on(url, Exchange::ok("{\n  \"type\": \"Feature\",\n  \"geometry\": {\"type\": "
                                    "\"Polygon\", \"coordinates\": [[[-111.9, 41.4]]]}\n}"));
        const Response response = run("zone", argument);
        EXPECT_EQ(response.status, 200) << argument;
        EXPECT_EQ(
            response.body,
            R"({"geometry":{"coordinates":[[[-111.9,41.4]]],"type":"Polygon"},"type":"Feature"})");
        EXPECT_EQ(client.requests_for(url), 1u) << argument;
    }
}

TEST_F(ForecastProductsTest, ZoneDocumentsMustBeObjectsWithAGeometry) {
    const json refused = {{"error", "NWS zone service returned an unexpected data format"},
                          {"source", zone_url}};
    const std::pair<std::string, json> cases[] = {
        {R"({"geometry":{"type":"Polygon","coordinates":[]},"id":"x"})",
         {{"geometry", {{"coordinates", json::array()}, {"type", "Polygon"}}}, {"id", "x"}}},
        // The value is the page's to judge: a zone without a shape still answers.
        {R"({"geometry":null,"properties":{"name":"Wasatch Mountains"}})",
         {{"geometry", nullptr}, {"properties", {{"name", "Wasatch Mountains"}}}}},
        {R"({"properties":{"geometry":{}}})", refused},
        {R"({"Geometry":{}})", refused},
        {R"({})", refused},
        {R"([{"geometry":{}}])", refused},
        {R"("geometry")", refused},
        {R"(null)", refused},
    };
    for (const auto& [document, expected] : cases) {
        client.on(zone_url, Exchange::ok(document));
        const Response response = run("zone", "forecast/UTZ110");
        EXPECT_EQ(response.status, expected.contains("error") ? 502 : 200) << document;
        EXPECT_EQ(body_of(response), expected) << document;
    }
}

TEST_F(ForecastProductsTest, WindsBulletinsByTheirArgument) {
    const std::pair<std::string, std::string> cases[] = {
        {"06", winds_url},
        {"12", "https://api.weather.gov/products/types/FD3/locations/US3/latest"},
        {"24", "https://api.weather.gov/products/types/FD5/locations/US5/latest"},
        {"high", "https://api.weather.gov/products/types/FD8/locations/US7/latest"},
        {"6", ""},
        {"006", ""},
        {"18", ""},
        {"HIGH", ""},
        {"low", ""},
        {" 06", ""},
        {"06 ", ""},
        {"", ""},
    };
    for (const auto& [argument, url] : cases) {
        ScriptedClient scripted;
        if (!url.empty()) {
            scripted.on(url, Exchange::ok(R"({"productText":"FD"})"));
        }
        WeatherService service(FetchContext{scripted, pauses.function()});
        const Response response = service.run_operation("winds", argument);
        if (url.empty()) {
            EXPECT_EQ(response.status, 400) << argument;
            EXPECT_EQ(body_of(response),
                      json({{"error", "Expected a winds bulletin as 06, 12, 24 or high"}}));
            EXPECT_EQ(scripted.request_count(), 0u) << argument;
            continue;
        }
        EXPECT_EQ(response.status, 200) << argument;
        EXPECT_EQ(scripted.requests_for(url), 1u) << argument;
        EXPECT_EQ(scripted.request_count(), 1u) << argument;
    }
}

TEST_F(ForecastProductsTest, WindsBulletinsKeepTheTextOfTheirOwnProductOnly) {
    const json refused = {{"error", "NWS winds aloft service returned an unexpected data format"},
                          {"source", winds_url}};
    const std::string two_megabytes(2 * 1024 * 1024, 'x');
    struct Case {
        std::string document;
        json expected;
    };
    const Case cases[] = {
        {R"({"issuanceTime":"2026-11-20T13:59:00+00:00","issuingOffice":"KWNO",
             "productCode":"FD1","productText":"\n000\nFBUS31 KWNO 201359\nFD1US1\n"})",
         {{"issuanceTime", "2026-11-20T13:59:00+00:00"},
          {"issuingOffice", "KWNO"},
          {"productText", "\n000\nFBUS31 KWNO 201359\nFD1US1\n"}}},
        {R"({"productText":"FD1US1"})",
         {{"issuanceTime", nullptr}, {"issuingOffice", nullptr}, {"productText", "FD1US1"}}},
        {R"({"productText":")" + two_megabytes + R"("})",
         {{"issuanceTime", nullptr}, {"issuingOffice", nullptr}, {"productText", two_megabytes}}},
        {R"({"productCode":"AFD","productText":"\n000\nFXUS65 KSLC 201711\n"})", refused},
        {R"({"productCode":"FD3","productText":"FD3US3"})", refused},
        {R"({"productCode":null,"productText":"FD1US1"})", refused},
        {R"({"@context":{},"@graph":[]})", refused},
        {R"({"@graph":[{"productCode":"FD1","productText":"FD1US1"}]})", refused},
        {R"({"productText":null})", refused},
        {R"({"productText":17})", refused},
        {R"({"issuingOffice":"KWNO"})", refused},
        {R"(["FD1US1"])", refused},
    };
    for (const auto& [document, expected] : cases) {
        client.on(winds_url, Exchange::ok(document));
        const Response response = run("winds", "06");
        EXPECT_EQ(response.status, expected.contains("error") ? 502 : 200)
            << document.substr(0, 80);
        EXPECT_EQ(body_of(response), expected) << document.substr(0, 80);
    }
}

// The outlooks come through the discussion's path and answer in its shape; only two types and
// an office of three capitals are asked for.
TEST_F(ForecastProductsTest, OutlooksAreTheOfficesLatestHwoOrFwf) {
    const std::string document =
        R"({"issuanceTime":"2026-11-20T10:05:00+00:00","issuingOffice":"KSLC","productCode":"HWO",)"
        R"("productText":"\nHWOSLC\n"})";
    const json shaped = {{"issuanceTime", "2026-11-20T10:05:00+00:00"},
                         {"issuingOffice", "KSLC"},
                         {"productText", "\nHWOSLC\n"}};
    const std::string refusal = "Expected an outlook as HWO/OFFICE or FWF/OFFICE";
    struct Case {
        std::string argument;
        std::string url;  // "" when nothing is asked
        json body;
    };
    const std::string prefix = "https://api.weather.gov/products/types/";
    const Case cases[] = {
        {"HWO/SLC", prefix + "HWO/locations/SLC/latest", shaped},
        {"FWF/SLC", prefix + "FWF/locations/SLC/latest", shaped},
        {"FWF/BOI", prefix + "FWF/locations/BOI/latest", shaped},
        {"HWO/XYZ",
         prefix + "HWO/locations/XYZ/latest",
         {{"error", "NWS outlook service returned an unexpected data format"},
          {"source", prefix + "HWO/locations/XYZ/latest"}}},
        {"AFD/SLC", "", {{"error", refusal}}},
        {"hwo/SLC", "", {{"error", refusal}}},
        {"HWO/slc", "", {{"error", refusal}}},
        {"HWO/KSLC", "", {{"error", refusal}}},
        {"HWO/SL", "", {{"error", refusal}}},
        {"HWO//SLC", "", {{"error", refusal}}},
        {"HWO SLC", "", {{"error", refusal}}},
        {"HWO/SLC ", "", {{"error", refusal}}},
        {"HWOX/SLC", "", {{"error", refusal}}},
        {"SLC", "", {{"error", refusal}}},
        {"HWO/", "", {{"error", refusal}}},
        {"", "", {{"error", refusal}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        ScriptedClient scripted;
        for (const char* office : {"SLC", "BOI"}) {
            for (const char* type : {"HWO", "FWF"}) {
                scripted.on(prefix + type + "/locations/" + office + "/latest",
                            Exchange::ok(document));
            }
        }
        scripted.on(prefix + "HWO/locations/XYZ/latest", Exchange::ok(R"({"@graph":[]})"));
        WeatherService service(FetchContext{scripted, pauses.function()});
        const Response response = service.run_operation("outlook", c.argument);
        EXPECT_EQ(response.status, c.url.empty() ? 400 : c.body.contains("error") ? 502 : 200);
        EXPECT_EQ(body_of(response), c.body);
        EXPECT_EQ(scripted.request_count(), c.url.empty() ? 0u : 1u);
        if (!c.url.empty()) {
            EXPECT_EQ(scripted.requests_for(c.url), 1u);
        }
    }
    // The discussion's own argument and reply stay as they were.
    client.on(discussion_url, Exchange::ok(document));
    EXPECT_EQ(body_of(run("discussion", "SLC")), shaped);
    EXPECT_EQ(run("discussion", "AFD/SLC").status, 400);
}

}  // namespace
}  // namespace weather::testing
