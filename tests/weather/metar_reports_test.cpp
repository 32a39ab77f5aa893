#include "weather/metar_reports.h"

#include <gtest/gtest.h>

#include "tests/weather/scripted_client.h"
#include "weather/operations.h"
#include "weather/services.h"

namespace weather::testing {
namespace {

constexpr char default_box_url[] =
    "https://aviationweather.gov/api/data/metar?bbox=31,-125,49.5,-102&format=json";

nlohmann::json record(const std::string& id, nlohmann::json time, const std::string& raw = "") {
    nlohmann::json value = {{"icaoId", id}, {"rawOb", raw.empty() ? "METAR " + id : raw}};
    if (!time.is_null()) {
        value["obsTime"] = std::move(time);
    }
    return value;
}

std::vector<std::string> ids_of(const nlohmann::json& records) {
    std::vector<std::string> ids;
    for (const auto& r : records) {
        ids.push_back(r.value("icaoId", std::string("?")));
    }
    return ids;
}

class MetarReportsTest : public ::testing::Test {
protected:
    Response run(const std::string& argument) {
        return metar_reports(FetchContext{client, pauses.function()}.for_operation("metars"),
                             argument);
    }

    ScriptedClient client;
    PauseRecorder pauses;
};

TEST_F(MetarReportsTest, WholeAreaMergesTheFixedStationsNewestPerStation) {
    const nlohmann::json box = {record("KSLC", 1000),
                                record("KSGU", 900, "box KSGU"),
                                record("KCDC", 950, "box KCDC"),
                                record("KBCE", 800, "box KBCE"),
                                record("KSLC", 990, "older KSLC"),
                                {{"rawOb", "no id"}},
                                {{"icaoId", 5}},
                                "not a record"};
    const nlohmann::json fixed = {record("KSGU", 900, "fixed KSGU"),
                                  record("KCDC", 940, "fixed KCDC"),
                                  record("KBCE", 850, "fixed KBCE"), record("KAZC", 700)};
    client.on(default_box_url, Exchange::ok(box.dump()));
    client.on(fixed_stations_metar_url, Exchange::ok(fixed.dump()));
    const Response response = run("");
    ASSERT_EQ(response.status, 200);
    const auto merged = nlohmann::json::parse(response.body);
    EXPECT_EQ(ids_of(merged), (std::vector<std::string>{"KAZC", "KBCE", "KCDC", "KSGU", "KSLC"}));
    EXPECT_EQ(merged[1]["rawOb"], "fixed KBCE");  // newer in the fixed answer
    EXPECT_EQ(merged[2]["rawOb"], "box KCDC");    // newer in the box answer
    EXPECT_EQ(merged[3]["rawOb"], "fixed KSGU");  // equal times: the fixed answer wins
    EXPECT_EQ(merged[4]["obsTime"], 1000);        // within one answer the newest wins
    const auto requests = client.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].object_name, "/api/data/metar?bbox=31,-125,49.5,-102&format=json");
    EXPECT_EQ(requests[1].object_name,
              "/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json");
}

TEST_F(MetarReportsTest, AnExplicitBoxIsOneRequestReturnedUnchanged) {
    const nlohmann::json box = {record("KSLC", 1000), record("KSLC", 990), record("KAAA", 5)};
    client.on(
        "https://aviationweather.gov/api/data/"
        "metar?bbox=31.0000,-125.0000,49.5000,-102.0000&format=json",
        Exchange::ok(box.dump()));
    const Response response = run("31,-125,49.5,-102");
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(nlohmann::json::parse(response.body), box);
    EXPECT_EQ(client.request_count(), 1u);
}

TEST_F(MetarReportsTest, WritesTheBoxWithFourDecimals) {
    EXPECT_THROW(run("36,-115,38,-112"), std::runtime_error);  // unscripted: 404
    const auto requests = client.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].object_name,
              "/api/data/metar?bbox=36.0000,-115.0000,38.0000,-112.0000&format=json");
}

TEST_F(MetarReportsTest, RefusesBadBoxesWithoutRequests) {
    struct Case {
        std::string argument;
        std::string error;
    };
    const Case cases[] = {
        {"40,-112,40,-111", "METAR bounds must be inside 31 to 49.5 N, 125 to 102 W"},
        {"40,-111,41,-112", "METAR bounds must be inside 31 to 49.5 N, 125 to 102 W"},
        {"30.9,-112,40,-111", "METAR bounds must be inside 31 to 49.5 N, 125 to 102 W"},
        {"40,-112,41,-101.9", "METAR bounds must be inside 31 to 49.5 N, 125 to 102 W"},
        {"36 -115 38 -112", "Expected METAR bounds as south,west,north,east"},
        {"36,-115,38", "Expected METAR bounds as south,west,north,east"},
        {" ", "Expected METAR bounds as south,west,north,east"},
    };
    for (const auto& c : cases) {
        const Response response = run(c.argument);
        EXPECT_EQ(response.status, 400);
        EXPECT_EQ(nlohmann::json::parse(response.body), nlohmann::json({{"error", c.error}}));
    }
    EXPECT_EQ(client.request_count(), 0u);
}

TEST_F(MetarReportsTest, AFloatingPointTimeCountsAsZero) {
    client.on(default_box_url,
              Exchange::ok(nlohmann::json::array({record("KSGU", 1e9, "box")}).dump()));
    client.on(fixed_stations_metar_url,
              Exchange::ok(nlohmann::json::array({record("KSGU", 0, "fixed")}).dump()));
    const auto merged = nlohmann::json::parse(run("").body);
    EXPECT_EQ(merged[0]["rawOb"], "fixed");
}

TEST_F(MetarReportsTest, AFailingFixedStationRequestStillMergesTheBox) {
    client.on(default_box_url,
              Exchange::ok(
                  nlohmann::json::array({record("KSLC", 2), record("KBCE", 1), record("KSLC", 1)})
                      .dump()));
    client.on(fixed_stations_metar_url, Exchange::with_status(503));
    const Response response = run("");
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(ids_of(nlohmann::json::parse(response.body)),
              (std::vector<std::string>{"KBCE", "KSLC"}));
    EXPECT_EQ(client.requests_for(fixed_stations_metar_url), 2u);
}

TEST_F(MetarReportsTest, AFixedStationAnswerThatIsNotAnArrayLeavesTheBoxUnmerged) {
    const nlohmann::json box = {record("KSLC", 2), record("KBCE", 1), record("KSLC", 1)};
    client.on(default_box_url, Exchange::ok(box.dump()));
    client.on(fixed_stations_metar_url, Exchange::ok(R"({"status":"error"})"));
    EXPECT_EQ(nlohmann::json::parse(run("").body), box);
}

TEST_F(MetarReportsTest, NoContentIsAnEmptyArray) {
    client.on(
        "https://aviationweather.gov/api/data/"
        "metar?bbox=36.0000,-115.0000,38.0000,-112.0000&format=json",
        Exchange::with_status(204));
    EXPECT_EQ(run("36,-115,38,-112").body, "[]");

    client.on(default_box_url, Exchange::with_status(204));
    client.on(fixed_stations_metar_url,
              Exchange::ok(nlohmann::json::array({record("KGCN", 1), record("KAZC", 1)}).dump()));
    EXPECT_EQ(ids_of(nlohmann::json::parse(run("").body)),
              (std::vector<std::string>{"KAZC", "KGCN"}));
}

TEST_F(MetarReportsTest, ABoxAnswerThatIsNotAnArrayIs502WithItsSource) {
    client.on(default_box_url, Exchange::ok(R"({"status":"error","error":"busy"})"));
    const Response response = run("");
    EXPECT_EQ(response.status, 502);
    EXPECT_EQ(
        nlohmann::json::parse(response.body),
        nlohmann::json({{"error", "Aviation weather service returned an unexpected data format"},
                        {"source", default_box_url}}));
    EXPECT_EQ(client.request_count(), 1u);
}

TEST_F(MetarReportsTest, ABoxRequestFailureIsThrownForTheDispatcher) {
    client.on(default_box_url, Exchange::with_status(500));
    EXPECT_THROW(run(""), std::runtime_error);

    WeatherService service(FetchContext{client, pauses.function()});
    const Response response = service.run_operation("metars", "");
    EXPECT_EQ(response.status, 502);
    EXPECT_EQ(nlohmann::json::parse(response.body),
              nlohmann::json({{"error", std::string("Weather service returned HTTP 500: ") +
                                            default_box_url}}));
}

TEST(MergeMetars, KeepsTheNewestRecordPerStation) {
    struct Case {
        const char* name;
        nlohmann::json first;
        nlohmann::json second;
        std::string winner;  // rawOb of the record kept
    };
    const Case cases[] = {
        {"newer second", record("K1", 2, "a"), record("K1", 3, "b"), "b"},
        {"older second", record("K1", 3, "a"), record("K1", 2, "b"), "a"},
        {"equal times", record("K1", 3, "a"), record("K1", 3, "b"), "b"},
        {"missing time", record("K1", 3, "a"), record("K1", nullptr, "b"), "a"},
        {"both missing", record("K1", nullptr, "a"), record("K1", nullptr, "b"), "b"},
        {"string time", record("K1", 0, "a"), record("K1", "999", "b"), "b"},
        {"negative", record("K1", -5, "a"), record("K1", nullptr, "b"), "b"},
        {"float", record("K1", 1, "a"), record("K1", 2.5, "b"), "a"},
        {"unsigned", record("K1", 5, "a"), record("K1", 18446744073709551615u, "b"), "a"},
    };
    const auto records = [](const nlohmann::json& array) {
        std::vector<MetarRecord> read;
        (void)compact_document(array.dump(), metar_record_options(read));
        return read;
    };
    for (const auto& c : cases) {
        std::map<std::string, MetarRecord> merged;
        auto first = records(nlohmann::json::array({c.first}));
        auto second = records(nlohmann::json::array({c.second}));
        merge_metars(merged, first);
        merge_metars(merged, second);
        ASSERT_EQ(merged.size(), 1u) << c.name;
        EXPECT_EQ(nlohmann::json::parse(merged["K1"].text)["rawOb"], c.winner) << c.name;
    }
}

}  // namespace
}  // namespace weather::testing
