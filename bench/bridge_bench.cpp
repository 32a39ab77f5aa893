// Cost of the page bridge's own work: checking a message on the UI thread and forming a reply
// on a worker.
#include <benchmark/benchmark.h>

#include "app/bridge/async_state.h"
#include "app/bridge/page_host.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"
#include "weather/text.h"

namespace {

const std::string source = std::string(bridge::page_prefix) + "index.html";

void check_message(benchmark::State& state, const std::string& message) {
    std::atomic<std::int32_t> active_requests{0};
    const bridge::WorkerStart start = [&](bridge::PageRequest&& request) {
        benchmark::DoNotOptimize(request);
        bridge::release_slot(active_requests);
    };
    for (auto _ : state) {
        auto reply = bridge::accept_web_message(source, message, active_requests, start);
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

void BM_FormReplyFor5MBBody(benchmark::State& state) {
    const std::string body = report_list(5 * 1024 * 1024);
    const bridge::OperationRunner run = [&](const std::string&, const std::string&) {
        return weather::Response{200, body};
    };
    for (auto _ : state) {
        const nlohmann::json reply = bridge::finished_reply(7, "metars", "", run);
        const std::string text = bridge::serialise_reply(reply);
        auto wide = weather::utf8_to_utf16(text);
        benchmark::DoNotOptimize(wide);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
    state.counters["body_MB"] = static_cast<double>(body.size()) / (1024 * 1024);
}
BENCHMARK(BM_FormReplyFor5MBBody)->Unit(benchmark::kMillisecond);

}  // namespace
