// Cost of the page bridge's own work: checking a message on the UI thread and forming a reply
// on a worker.
#include <benchmark/benchmark.h>

#include "app/bridge/async_state.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"
#include "app/win32/page_host.h"
#include "base/unicode.h"
#include "tests/app/bridge/reference_reply.h"
#include "weather/canonical_json.h"

namespace {

const std::string source = std::string(win32_host::page_prefix) + "index.html";

void check_message(benchmark::State& state, const std::string& message) {
    std::atomic<std::int32_t> active_requests{0};
    const bridge::WorkerStart start = [&](bridge::PageRequest&& request) {
        benchmark::DoNotOptimize(request);
        bridge::release_slot(active_requests);
    };
    for (auto _ : state) {
        auto reply = bridge::accept_web_message(source, message, active_requests, start,
                                                win32_host::page_prefix);
        benchmark::DoNotOptimize(reply);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}

void BM_CheckTypicalMessage(benchmark::State& state) {
    check_message(
        state,
        R"({"id":12,"operation":"metars","argument":"36.5000,-115.2000,38.1000,-112.4000"})");
}
BENCHMARK(BM_CheckTypicalMessage);

void BM_CheckLargestMessage(benchmark::State& state) {
    std::string message =
        R"({"id":"request-000000012","operation":"point","argument":"40.76,-111.89","padding":")";
    message += std::string(2048 - message.size() - 2, 'x') + "\"}";
    check_message(state, message);
}
BENCHMARK(BM_CheckLargestMessage);

// A body of about `bytes` shaped like a list of station reports.
std::string report_list(std::size_t bytes) {
    nlohmann::json list = nlohmann::json::array();
    std::string text;
    for (int i = 0; text.size() < bytes; ++i) {
        list.push_back(
            {{"icaoId", "K" + std::to_string(1000 + i)},
             {"obsTime", 1795000000 + i},
             {"temp", 12.5},
             {"rawOb", "METAR KSLC 201754Z 33008G18KT 10SM FEW060 BKN120 08/M02 A3012 RMK AO2"},
             {"clouds",
              {{{"cover", "FEW"}, {"base", 6000}}, {{"cover", "BKN"}, {"base", 12000}}}}});
        if (i % 1000 == 999) {
            text = list.dump();
        }
    }
    return list.dump();
}

// A body of about `bytes` shaped like a list of alerts: long texts with line breaks, a few
// coordinates.
std::string alert_list(std::size_t bytes) {
    nlohmann::json features = nlohmann::json::array();
    std::string description;
    for (int line = 0; line < 24; ++line) {
        description += "* WHAT...Heavy snow. Total snow accumulations of 8 to 14 inches.\n";
    }
    for (int i = 0; features.size() * (description.size() + 400) < bytes; ++i) {
        features.push_back(
            {{"id", "https://api.weather.gov/alerts/urn:oid:2.49.0.1.840.0." + std::to_string(i)},
             {"geometry",
              i % 8 ? nlohmann::json()
                    : nlohmann::json{{"type", "Polygon"},
                                     {"coordinates", {{{-111.5, 40.25}, {-111.75, 40.5}}}}}},
             {"properties",
              {{"event", "Winter Storm Warning"},
               {"severity", "Severe"},
               {"areaDesc", "Wasatch Mountains I-80 North; Western Uinta Mountains"},
               {"description", description}}}});
    }
    return nlohmann::json({{"features", features}, {"type", "FeatureCollection"}}).dump();
}

// Forming one worker reply from a finished operation's body, the way the workers do (`splice`)
// or by parsing the body and serialising the reply again (the reference form). A body of
// `origin` serialiser is one the core has just written, spliced without checking it again.
void form_reply(benchmark::State& state, const std::string& body, bool splice,
                weather::BodyOrigin origin = weather::BodyOrigin::elsewhere) {
    const bridge::OperationRunner run = [&](const std::string&, const std::string&) {
        return weather::Response{200, body, weather::json_content_type, origin};
    };
    for (auto _ : state) {
        std::string text =
            splice ? bridge::reply_text(7, "alerts", "", run)
                   : bridge::reply_json_text(bridge::finished_reply(7, "alerts", "", run));
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
    state.counters["body_MB"] = static_cast<double>(body.size()) / (1024 * 1024);
}

void BM_FormReplyByParsing5MBReports(benchmark::State& state) {
    form_reply(state, report_list(5 * 1024 * 1024), false);
}
BENCHMARK(BM_FormReplyByParsing5MBReports)->Unit(benchmark::kMillisecond);

void BM_FormReplyBySplicing5MBReports(benchmark::State& state) {
    form_reply(state, report_list(5 * 1024 * 1024), true);
}
BENCHMARK(BM_FormReplyBySplicing5MBReports)->Unit(benchmark::kMillisecond);

void BM_FormReplyByParsingAlerts(benchmark::State& state) {
    form_reply(state, alert_list(12 * 1024 * 1024 - 4096), false);
}
BENCHMARK(BM_FormReplyByParsingAlerts)->Unit(benchmark::kMillisecond);

void BM_FormReplyBySplicingAlerts(benchmark::State& state) {
    form_reply(state, alert_list(12 * 1024 * 1024 - 4096), true);
}
BENCHMARK(BM_FormReplyBySplicingAlerts)->Unit(benchmark::kMillisecond);

void BM_FormReplyBySplicingTheCoresAlerts(benchmark::State& state) {
    form_reply(state, alert_list(12 * 1024 * 1024 - 4096), true, weather::BodyOrigin::serialiser);
}
BENCHMARK(BM_FormReplyBySplicingTheCoresAlerts)->Unit(benchmark::kMillisecond);

// The worker's whole share of a reply: forming it and converting it to UTF-16.
void BM_FormReplyFor5MBBody(benchmark::State& state) {
    const std::string body = report_list(5 * 1024 * 1024);
    const bridge::OperationRunner run = [&](const std::string&, const std::string&) {
        return weather::Response{200, body};
    };
    for (auto _ : state) {
        const std::string text = bridge::reply_text(7, "metars", "", run);
        auto wide = base::utf8_to_utf16(text);
        benchmark::DoNotOptimize(wide);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
    state.counters["body_MB"] = static_cast<double>(body.size()) / (1024 * 1024);
}
BENCHMARK(BM_FormReplyFor5MBBody)->Unit(benchmark::kMillisecond);

}  // namespace
