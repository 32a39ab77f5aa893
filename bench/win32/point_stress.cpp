// Many `point` requests under the Windows host's thread model, to show whether any of them goes
// missing: each request runs on a worker started with CreateThread, as the host starts its
// workers, holding one of the eight in-flight slots, and the point operation starts its three
// sub-tasks inside it. The services are the scripted client answering with the project's
// documents, each product after a short delay so that sub-tasks overlap; every request uses a
// fresh service, so none is answered from a cache. Reports how many requests ended complete,
// how many sub-tasks ran and the slot count at the end, and exits with 1 when a request does
// not end. Run under Wine by scripts/stress.sh.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <windows.h>

#include "app/bridge/async_state.h"
#include "tests/weather/scripted_client.h"
#include "weather/operations.h"

namespace {

using Clock = std::chrono::steady_clock;
using weather::testing::Exchange;
using weather::testing::ScriptedClient;

// How long the requests may make no progress at all before one counts as lost.
constexpr std::chrono::seconds stall_limit{60};

struct Totals {
    std::atomic<int> started{0};
    std::atomic<int> ended{0};
    std::atomic<int> complete{0};   // status 200, all three products, no warning
    std::atomic<int> sub_tasks{0};  // product requests sent: 3 per complete request
    std::atomic<std::int32_t> active_requests{0};
};

struct Job {
    const ScriptedClient& client;
    Totals& totals;
};

DWORD WINAPI run_point(void* parameter) {
    const std::unique_ptr<Job> job(static_cast<Job*>(parameter));
    try {
        weather::WeatherService service(
            weather::FetchContext{job->client, [](std::chrono::milliseconds) {}});
        const weather::Response response = service.run_operation("point", "40.76,-111.89");
        const nlohmann::json reply = nlohmann::json::parse(response.body);
        if (response.status == 200 && reply.at("warnings").empty() &&
            !reply.at("observation").is_null()) {
            ++job->totals.complete;
        }
    } catch (...) {
        // Counted as ended but not complete.
    }
    ++job->totals.ended;
    bridge::release_slot(job->totals.active_requests);
    return 0;
}

void report(const Totals& totals, int requests, int thread_failures, Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("requests asked for      %d\n", requests);
    std::printf("workers started         %d (CreateThread failures: %d)\n", totals.started.load(),
                thread_failures);
    std::printf("requests ended          %d\n", totals.ended.load());
    std::printf("  complete (200, 3 products, no warning) %d\n", totals.complete.load());
    std::printf("product sub-tasks run   %d (expected %d)\n", totals.sub_tasks.load(),
                3 * totals.started.load());
    std::printf("slots still taken       %d\n", totals.active_requests.load());
    std::printf("time                    %.1f s (%.0f requests/s)\n", seconds,
                totals.ended.load() / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::atoi(argv[1]) : 10000;

    Totals totals;
    ScriptedClient client;
    weather::testing::answer_from_routes(client);
    const std::pair<const char*, const char*> products[] = {
        {"https://api.weather.gov/gridpoints/SLC/101,174/forecast/hourly",
         "nws/forecast_hourly_slc.json"},
        {"https://api.weather.gov/gridpoints/SLC/101,174", "nws/gridpoints_slc.json"},
        {"https://api.weather.gov/gridpoints/SLC/101,174/stations", "nws/stations_slc.json"},
    };
    for (const auto& [url, file] : products) {
        Exchange answer = Exchange::ok(weather::testing::test_document(file));
        answer.delay = std::chrono::milliseconds(2);
        answer.on_send = [&totals] { ++totals.sub_tasks; };
        client.on(url, answer);
    }

    const auto start = Clock::now();
    auto last_progress = start;
    int last_ended = 0;
    int thread_failures = 0;
    // True while requests keep ending; false once none has for stall_limit.
    const auto progressing = [&] {
        if (totals.ended.load() != last_ended) {
            last_ended = totals.ended.load();
            last_progress = Clock::now();
        }
        return Clock::now() - last_progress < stall_limit;
    };

    while (totals.started.load() < requests) {
        if (!bridge::try_reserve_slot(totals.active_requests)) {
            if (!progressing()) {
                break;
            }
            Sleep(1);
            continue;
        }
        auto job = std::make_unique<Job>(Job{client, totals});
        const HANDLE thread = CreateThread(nullptr, 0, &run_point, job.get(), 0, nullptr);
        if (thread == nullptr) {
            bridge::release_slot(totals.active_requests);
            ++thread_failures;
            Sleep(10);
            continue;
        }
        job.release();  // the worker owns it now
        CloseHandle(thread);
        ++totals.started;
    }
    while (totals.ended.load() < totals.started.load() && progressing()) {
        Sleep(10);
    }

    report(totals, requests, thread_failures, start);
    const bool all_ended = totals.ended.load() == requests;
    const bool all_complete = totals.complete.load() == requests;
    if (!all_ended) {
        std::printf("LOST: %d requests never ended\n", totals.started.load() - totals.ended.load());
    }
    std::fflush(stdout);
    // ExitProcess, not a return: a lost request's worker is still blocked, and the runtime
    // would wait for nothing at exit.
    ExitProcess(all_ended && all_complete && totals.active_requests.load() == 0 ? 0 : 1);
}
