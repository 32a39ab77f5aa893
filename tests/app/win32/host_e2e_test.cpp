// The whole system: the real program with our loader, the fake browser view, WinHTTP and the
// fake weather services in a network namespace (tools/run_isolated.sh) on a
// virtual screen. A scripted page asks for every operation and gets the replies built
// from the project's documents; the cache answers a second asking; refusals and a service
// failure of the newer operations reach the page as the weather core words them; eight requests
// held by the services fill the slots, the ninth is busy at once, and closing with replies on their
// way delivers none after the close.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include <nlohmann/json.hpp>

#include "host_fixture.h"
#include "tests/weather/scripted_client.h"
#include "weather/operations.h"

namespace host_test {
namespace {

using nlohmann::json;

constexpr char page[] = "https://corvane-weather.example/index.html";

// What the fake services saw (CORVANE_FAKE_SERVICES_LOG, set by the harness).
class ServicesLog {
public:
    ServicesLog() {
        if (const char* unix_path = std::getenv("CORVANE_FAKE_SERVICES_LOG")) {
            path = wine_path(unix_path);
        }
    }
    bool available() const { return !path.empty(); }
    std::vector<json> records() const {
        std::vector<json> result;
        for (const std::string& line : read_lines(path)) {
            result.push_back(json::parse(line));
        }
        return result;
    }
    std::size_t held() const {
        const auto all = records();
        return static_cast<std::size_t>(
            std::count_if(all.begin(), all.end(),
                          [](const json& record) { return record.at("status") == "held"; }));
    }

private:
    std::wstring path;
};

// The services' hold (--hold-documents): while its file exists, document requests wait in
// line until the file's number reaches their place.
class Hold {
public:
    explicit Hold(const ServicesLog& services) : released(services.held()) { write(); }
    ~Hold() { DeleteFileW(file.c_str()); }
    void release_one() {
        ++released;
        write();
    }

private:
    void write() const { write_file(file, std::to_string(released)); }
    const std::wstring file = wine_path(CORVANE_HOLD_FILE);
    std::size_t released;
};

std::string request(const std::string& id, const std::string& operation,
                    const std::string& argument) {
    return std::string("message ") + page + " " +
           json{{"argument", argument}, {"id", id}, {"operation", operation}}.dump();
}

// The reply's "body" as it was written, between `{"body":` and `,"id":`.
std::string body_text(const std::string& reply) {
    const std::size_t end = reply.rfind(",\"id\":");
    return reply.substr(8, end - 8);
}

long thread_count(DWORD process) {
    const win32::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    long count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        count += entry.th32OwnerProcessID == process ? 1 : 0;
    }
    return count;
}

// No reply may follow the close of the view.
void expect_nothing_delivered_after_the_close(const std::vector<std::string>& log) {
    const auto close = std::find(log.begin(), log.end(), "controller Close");
    ASSERT_NE(close, log.end());
    EXPECT_TRUE(posted_replies(std::vector<std::string>(close, log.end())).empty());
}

class HostEndToEnd : public HostTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(services.available())
            << "CORVANE_FAKE_SERVICES_LOG is not set: run this program through "
            << "tools/run_isolated.sh (ctest does), never against the real services";
    }
    ServicesLog services;
};

TEST_F(HostEndToEnd, EveryOperationAnswersFromTheServicesAndThenFromTheCache) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    const std::vector<std::pair<std::string, std::string>> asked = {{"point", "40.76,-111.89"},
                                                                    {"metars", ""},
                                                                    {"pireps", ""},
                                                                    {"alerts", ""},
                                                                    {"tafs", ""},
                                                                    {"hazards", ""},
                                                                    {"forecast", "SLC/101,174"},
                                                                    {"discussion", "SLC"},
                                                                    {"zone", "forecast/UTZ110"},
                                                                    {"outlook", "HWO/SLC"},
                                                                    {"outlook", "FWF/SLC"},
                                                                    {"avalanche", ""}};

    // The replies the same operations give over the project's documents without a network.
    weather::testing::ScriptedClient scripted;
    weather::testing::answer_from_routes(scripted);
    weather::testing::PauseRecorder pauses;
    weather::WeatherService reference(weather::FetchContext{scripted, pauses.function()});

    std::vector<std::string> first_bodies;
    for (const int round : {0, 1}) {
        SCOPED_TRACE(round == 0 ? "from the services" : "from the cache");
        const std::size_t requests_before = services.records().size();
        const std::size_t mark = run.log().size();
        for (std::size_t i = 0; i < asked.size(); ++i) {
            if (i > 0 && i % 8 == 0) {  // the host takes eight at a time
                ASSERT_TRUE(wait_until(
                    [&] { return posted_replies(lines_from(run.log(), mark)).size() == i; }));
            }
            ASSERT_TRUE(run.step(request("r" + std::to_string(round) + "-" + std::to_string(i),
                                         asked[i].first, asked[i].second)));
        }
        ASSERT_TRUE(wait_until(
            [&] { return posted_replies(lines_from(run.log(), mark)).size() == asked.size(); }));
        const std::vector<std::string> replies = posted_replies(lines_from(run.log(), mark));
        for (std::size_t i = 0; i < asked.size(); ++i) {
            const std::string id = "r" + std::to_string(round) + "-" + std::to_string(i);
            const auto reply = std::find_if(replies.begin(), replies.end(), [&](const auto& text) {
                return text.find("\"id\":\"" + id + "\"") != std::string::npos;
            });
            ASSERT_NE(reply, replies.end()) << id;
            SCOPED_TRACE(asked[i].first);
            EXPECT_EQ(reply->rfind("{\"body\":", 0), 0u);
            const std::string tail = ",\"id\":\"" + id + "\",\"status\":200}";
            EXPECT_EQ(reply->substr(reply->size() - tail.size()), tail);
            json body = json::parse(body_text(*reply));
            json expected =
                json::parse(reference.run_operation(asked[i].first, asked[i].second).body);
            if (asked[i].first == "point") {
                body.erase("retrievedAt");
                expected.erase("retrievedAt");
            }
            EXPECT_EQ(body, expected);
            if (round == 0) {
                first_bodies.push_back(body_text(*reply));
            } else {
                EXPECT_EQ(body_text(*reply), first_bodies[i]) << "the cached reply is the same";
            }
        }
        const std::size_t requests = services.records().size() - requests_before;
        if (round == 0) {
            EXPECT_GE(requests, 20u) << "six for the point, two for the METARs, three for the "
                                        "hazards, one for each other operation";
        } else {
            EXPECT_EQ(requests, 0u) << "the second asking is answered from the cache";
        }
    }
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    expect_everything_released(run.log());
}

TEST_F(HostEndToEnd, RefusalsAndAServiceFailureOfTheNewerOperationsReachThePage) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    const std::vector<std::pair<std::string, std::string>> asked = {
        {"tafs", "40,-112,40,-111"},
        {"tafs", "31,-125,32,-124"},
        {"forecast", "SLC/0,0"},
        {"forecast", "SLC/101, 174"},
        {"discussion", "XYZ"},
        {"discussion", "KSLC"},
        {"hazards", std::string(97, 'x')},
        {"zone", "fire/UTZ478"},
        {"zone", "UTZ110"},
        {"winds", "06"},
        {"winds", "24"},
        {"winds", "6"}};
    weather::testing::ScriptedClient scripted;
    weather::testing::answer_from_routes(scripted);
    weather::testing::PauseRecorder pauses;
    weather::WeatherService reference(weather::FetchContext{scripted, pauses.function()});

    const std::size_t mark = run.log().size();
    // At most eight at a time, so none is answered busy.
    for (std::size_t i = 0; i < asked.size(); ++i) {
        if (i == 8) {
            ASSERT_TRUE(wait_until(
                [&] { return posted_replies(lines_from(run.log(), mark)).size() == 8; }));
        }
        ASSERT_TRUE(run.step(request("e" + std::to_string(i), asked[i].first, asked[i].second)));
    }
    ASSERT_TRUE(wait_until(
        [&] { return posted_replies(lines_from(run.log(), mark)).size() == asked.size(); }));
    const std::vector<std::string> replies = posted_replies(lines_from(run.log(), mark));
    for (std::size_t i = 0; i < asked.size(); ++i) {
        SCOPED_TRACE(asked[i].first + " " + asked[i].second);
        const std::string id = "e" + std::to_string(i);
        const auto reply = std::find_if(replies.begin(), replies.end(), [&](const auto& text) {
            return text.find("\"id\":\"" + id + "\"") != std::string::npos;
        });
        ASSERT_NE(reply, replies.end());
        const weather::Response expected = reference.run_operation(asked[i].first, asked[i].second);
        EXPECT_EQ(*reply, "{\"body\":" + expected.body + ",\"id\":\"" + id +
                              "\",\"status\":" + std::to_string(expected.status) + "}");
    }
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    expect_everything_released(run.log());
}

TEST_F(HostEndToEnd, EightInFlightMakeTheNinthBusyAndOneAnswerMakesRoomForTheTenth) {
    Hold hold(services);
    const std::size_t held_before = services.held();
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    const std::size_t mark = run.log().size();
    for (int i = 1; i <= 8; ++i) {
        ASSERT_TRUE(run.step(request("b" + std::to_string(i), "pireps", "")));
    }
    ASSERT_TRUE(wait_until([&] { return services.held() - held_before == 8; }));
    EXPECT_TRUE(posted_replies(lines_from(run.log(), mark)).empty()) << "all eight are held";
    const long threads_with_eight = thread_count(run.process_id());

    // The ninth is answered before its step returns.
    const std::size_t ninth = run.log().size();
    ASSERT_TRUE(run.step(request("b9", "pireps", "")));
    EXPECT_EQ(posted_replies(lines_from(run.log(), ninth)),
              std::vector<std::string>{
                  "{\"body\":{\"error\":\"Weather requests are busy. Try again in a moment.\"},"
                  "\"id\":\"b9\",\"status\":429}"});

    // One answer; its worker gives its slot back before it ends.
    hold.release_one();
    ASSERT_TRUE(
        wait_until([&] { return posted_replies(lines_from(run.log(), mark)).size() == 2; }));
    const std::string answered = posted_replies(lines_from(run.log(), mark)).back();
    EXPECT_NE(answered.find("\"status\":200}"), std::string::npos) << answered;
    ASSERT_TRUE(wait_until([&] { return thread_count(run.process_id()) < threads_with_eight; }));

    const std::size_t tenth = run.log().size();
    ASSERT_TRUE(run.step(request("b10", "pireps", "")));
    // Accepted: its reply comes from its worker (the cache has the pilot reports by now), and
    // it is not the busy one.
    ASSERT_TRUE(
        wait_until([&] { return posted_replies(lines_from(run.log(), tenth)).size() == 1; }));
    const std::string reply = posted_replies(lines_from(run.log(), tenth)).front();
    EXPECT_NE(reply.find("\"id\":\"b10\",\"status\":200}"), std::string::npos) << reply;

    // Seven still held: the program closes without waiting for their workers.
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    expect_nothing_delivered_after_the_close(run.log());
    expect_everything_released(run.log());
}

TEST_F(HostEndToEnd, RepliesRacingTheCloseAreNeverDeliveredAfterIt) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        std::optional<Hold> hold(std::in_place, services);
        const std::size_t held_before = services.held();
        HostRun run(scratch);
        ASSERT_TRUE(run.wait_until_loaded());
        for (int i = 1; i <= 8; ++i) {
            ASSERT_TRUE(run.step(request("c" + std::to_string(i), "alerts", "")));
        }
        ASSERT_TRUE(wait_until([&] { return services.held() - held_before == 8; }));
        hold.reset();  // every answer goes out now, while the window closes
        run.close();
        EXPECT_EQ(run.wait_for_exit(), 0);
        expect_nothing_delivered_after_the_close(run.log());
        expect_everything_released(run.log());
    }
}

}  // namespace
}  // namespace host_test
