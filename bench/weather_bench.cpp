// Cost of the weather service's own work: cache hits and the parallel point and hazards
// operations.
#include <benchmark/benchmark.h>

#include "tests/weather/scripted_client.h"
#include "weather/operations.h"
#include "weather/services.h"

namespace {

using weather::testing::Exchange;
using weather::testing::ScriptedClient;
using namespace std::chrono_literals;

std::string alerts_of(std::size_t bytes) {
    nlohmann::json features = nlohmann::json::array();
    for (int i = 0; features.dump().size() < bytes; ++i) {
        for (int j = 0; j < 100; ++j) {
            features.push_back({{"id", "https://api.weather.gov/alerts/urn:oid:2.49.0.1.840.0." +
                                           std::to_string(i * 100 + j)},
                                {"properties",
                                 {{"event", "Winter Storm Warning"},
                                  {"severity", "Severe"},
                                  {"description", std::string(1500, 'w')}}}});
        }
    }
    return nlohmann::json({{"type", "FeatureCollection"}, {"features", features}}).dump();
}

void BM_CacheHitWith2MBAlerts(benchmark::State& state) {
    ScriptedClient client;
    client.on(weather::active_alerts_url, Exchange::ok(alerts_of(2 * 1024 * 1024)));
    weather::WeatherService service(weather::FetchContext{client});
    const std::size_t size = service.run_operation("alerts", "").body.size();
    for (auto _ : state) {
        auto response = service.run_operation("alerts", "");
        benchmark::DoNotOptimize(response);
    }
    state.counters["body_MB"] = static_cast<double>(size) / (1024 * 1024);
    if (client.request_count() != 1) {
        state.SkipWithError("the cache did not answer");
    }
}
BENCHMARK(BM_CacheHitWith2MBAlerts)->Unit(benchmark::kMicrosecond);

Exchange delayed(std::string body, std::chrono::milliseconds delay) {
    Exchange exchange = Exchange::ok(std::move(body));
    exchange.delay = delay;
    return exchange;
}

// Wall time of one point request whose sub-requests take fixed times. The ideal is the points
// lookup plus the slowest product chain: 100 + max(300, 500, 150 + 150) = 600 ms.
void BM_PointWeatherParallelism(benchmark::State& state) {
    const std::string base = "https://api.weather.gov/gridpoints/SLC/101,174";
    const nlohmann::json points = {{"properties",
                                    {{"forecastHourly", base + "/forecast/hourly"},
                                     {"forecastGridData", base},
                                     {"observationStations", base + "/stations"}}}};
    const nlohmann::json stations = {
        {"features",
         {{{"id", "https://api.weather.gov/stations/KSLC"},
           {"properties", {{"name", "Salt Lake City"}, {"stationIdentifier", "KSLC"}}}}}}};
    ScriptedClient client;
    client.on("https://api.weather.gov/points/40.7600,-111.8900", delayed(points.dump(), 100ms));
    client.on(base + "/forecast/hourly", delayed(R"({"properties":{}})", 300ms));
    client.on(base, delayed(R"({"properties":{}})", 500ms));
    client.on(base + "/stations", delayed(stations.dump(), 150ms));
    client.on("https://api.weather.gov/stations/KSLC/observations/latest",
              delayed(R"({"properties":{}})", 150ms));
    double total_ms = 0;
    for (auto _ : state) {
        weather::WeatherService service(weather::FetchContext{client});  // a cold cache each time
        const auto start = std::chrono::steady_clock::now();
        const weather::Response response = service.run_operation("point", "40.76,-111.89");
        total_ms +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (response.status != 200 || response.body.find("\"warnings\":[]") == std::string::npos) {
            state.SkipWithError("the point request did not succeed");
        }
    }
    const double mean_ms = total_ms / static_cast<double>(state.iterations());
    state.counters["ideal_ms"] = 600;
    state.counters["ratio"] = mean_ms / 600.0;
}
BENCHMARK(BM_PointWeatherParallelism)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

// Wall time of one hazards request whose three products take fixed times. The ideal is the
// slowest product: max(300, 500, 200) = 500 ms.
void BM_HazardsParallelism(benchmark::State& state) {
    ScriptedClient client;
    client.on(weather::sigmets_url, delayed(R"([{"seriesId":"12W"}])", 300ms));
    client.on(weather::gairmets_url, delayed(R"([{"tag":"1W"}])", 500ms));
    client.on(weather::center_advisories_url, delayed(R"([{"cwsu":"ZLC"}])", 200ms));
    double total_ms = 0;
    for (auto _ : state) {
        weather::WeatherService service(weather::FetchContext{client});  // a cold cache each time
        const auto start = std::chrono::steady_clock::now();
        const weather::Response response = service.run_operation("hazards", "");
        total_ms +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (response.status != 200 || response.body.find("\"warnings\":[]") == std::string::npos) {
            state.SkipWithError("the hazards request did not succeed");
        }
    }
    const double mean_ms = total_ms / static_cast<double>(state.iterations());
    state.counters["ideal_ms"] = 500;
    state.counters["ratio"] = mean_ms / 500.0;
}
BENCHMARK(BM_HazardsParallelism)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
