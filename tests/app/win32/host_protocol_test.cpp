// The page message protocol through the real handler of the real program: which messages are
// ignored, which are answered at once and how, and the replies of workers. Steps reach the
// program's UI thread through the fake view's control window and are played before
// SendMessage returns, so an immediate reply is in the log when a step returns; workers here
// only get arguments that fail before any network access.

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host_fixture.h"

namespace host_test {
namespace {

using nlohmann::json;
using HostProtocol = HostTest;

constexpr char page[] = "https://corvane-weather.example/index.html";

// The reply text the host must post: compact, keys in the order body, id, status.
std::string reply_text(const std::string& body, const std::string& id, int status) {
    return "{\"body\":" + body + ",\"id\":" + id + ",\"status\":" + std::to_string(status) + "}";
}

std::string error(const std::string& text) {
    return json{{"error", text}}.dump();
}

std::string parse_error_of(const std::string& text) {
    try {
        const json parsed = json::parse(text, nullptr, true, false);
        return "parsed: " + parsed.dump();
    } catch (const json::exception& failure) {
        return failure.what();
    }
}

std::string type_error_of(const json& value) {
    try {
        return "converted: " + value.get<std::string>();
    } catch (const json::exception& failure) {
        return failure.what();
    }
}

// A request padded with a "pad" member of `fill` units to exactly `bytes` bytes of UTF-8.
std::string padded(std::size_t bytes, const std::string& fill) {
    const std::string head = R"({"id":1,"operation":"nope","pad":")";
    const std::string tail = R"("})";
    std::string pad;
    while (head.size() + pad.size() + fill.size() + tail.size() <= bytes) {
        pad += fill;
    }
    pad += std::string(bytes - head.size() - pad.size() - tail.size(), 'a');
    return head + pad + tail;
}

struct Row {
    std::string name;
    std::string step;
    bool read_text;                    // whether the host asked for the message text
    std::optional<std::string> reply;  // the immediate reply, or none
};

std::vector<Row> immediate_rows() {
    const std::string request = R"({"id":1,"operation":"nope"})";
    const std::string unsupported = reply_text(error("Unsupported weather operation"), "1", 400);
    std::vector<Row> rows = {
        // The origin, checked before the text is read.
        {"another site", "message https://evil.example/ " + request, false, {}},
        {"http", "message http://corvane-weather.example/index.html " + request, false, {}},
        {"scheme in capitals",
         "message HTTPS://corvane-weather.example/index.html " + request,
         false,
         {}},
        {"host in capitals",
         "message https://Corvane-Weather.example/index.html " + request,
         false,
         {}},
        {"prefix without its slash",
         "message https://corvane-weather.example " + request,
         false,
         {}},
        {"a longer host",
         "message https://corvane-weather.example.evil.com/ " + request,
         false,
         {}},
        {"no source", "message - " + request, false, {}},
        {"exactly the prefix", "message https://corvane-weather.example/ " + request, true,
         unsupported},
        // The text.
        {"unreadable text", std::string("message_unreadable ") + page, true, {}},
        {"no text", std::string("message_null ") + page, true, {}},
        {"2048 bytes", std::string("message ") + page + " " + padded(2048, "a"), true, unsupported},
        {"2049 bytes", std::string("message ") + page + " " + padded(2049, "a"), true, {}},
        {"2048 bytes with two-byte characters",
         std::string("message ") + page + " " + padded(2048, "\xC3\xA9"), true, unsupported},
        {"2049 bytes with two-byte characters",
         std::string("message ") + page + " " + padded(2049, "\xC3\xA9"),
         true,
         {}},
        {"empty text", std::string("message ") + page, true,
         reply_text(error(parse_error_of("")), "null", 400)},
        {"cut short", std::string("message ") + page + R"( {"id":1)", true,
         reply_text(error(parse_error_of(R"({"id":1)")), "null", 400)},
        {"a comment", std::string("message ") + page + R"( {"id":1}/*x*/)", true,
         reply_text(error(parse_error_of(R"({"id":1}/*x*/)")), "null", 400)},
        // The shape and the id.
        {"a string holding a request",
         std::string("message ") + page + R"( "{\"id\":1,\"operation\":\"alerts\"}")",
         true,
         {}},
        {"an array", std::string("message ") + page + " [1]", true, {}},
        {"a number", std::string("message ") + page + " 5", true, {}},
        {"no id", std::string("message ") + page + R"( {"operation":"nope"})", true, {}},
        {"id null",
         std::string("message ") + page + R"( {"id":null,"operation":"nope"})",
         true,
         {}},
        {"id true",
         std::string("message ") + page + R"( {"id":true,"operation":"nope"})",
         true,
         {}},
        {"id 7.5", std::string("message ") + page + R"( {"id":7.5,"operation":"nope"})", true, {}},
        {"id 1e3", std::string("message ") + page + R"( {"id":1e3,"operation":"nope"})", true, {}},
        {"id beyond 64 bits",
         std::string("message ") + page + R"( {"id":18446744073709551616,"operation":"nope"})",
         true,
         {}},
        {"id array",
         std::string("message ") + page + R"( {"id":[1],"operation":"nope"})",
         true,
         {}},
        {"id object",
         std::string("message ") + page + R"( {"id":{"a":1},"operation":"nope"})",
         true,
         {}},
        {"id 7", std::string("message ") + page + R"( {"id":7,"operation":"nope"})", true,
         reply_text(error("Unsupported weather operation"), "7", 400)},
        {"id -7", std::string("message ") + page + R"( {"id":-7,"operation":"nope"})", true,
         reply_text(error("Unsupported weather operation"), "-7", 400)},
        {"id abc", std::string("message ") + page + R"( {"id":"abc","operation":"nope"})", true,
         reply_text(error("Unsupported weather operation"), "\"abc\"", 400)},
        {"largest unsigned id",
         std::string("message ") + page + R"( {"id":18446744073709551615,"operation":"nope"})",
         true, reply_text(error("Unsupported weather operation"), "18446744073709551615", 400)},
        {"id of 100 bytes",
         std::string("message ") + page + " {\"id\":\"" + std::string(98, 'i') + "\"}", true,
         reply_text(error("Unsupported weather operation"), "\"" + std::string(98, 'i') + "\"",
                    400)},
        {"id of 101 bytes",
         std::string("message ") + page + " {\"id\":\"" + std::string(99, 'i') + "\"}",
         true,
         {}},
        {"id of 100 bytes with an escaped quote",
         std::string("message ") + page + " {\"id\":\"" + std::string(96, 'q') + "\\\"\"}", true,
         reply_text(error("Unsupported weather operation"), "\"" + std::string(96, 'q') + "\\\"\"",
                    400)},
        {"id of 101 bytes with an escaped newline",
         std::string("message ") + page + " {\"id\":\"" + std::string(97, 'n') + "\\n\"}",
         true,
         {}},
        // The operation and argument.
        {"only an id", std::string("message ") + page + R"( {"id":1})", true, unsupported},
        {"operation in capitals",
         std::string("message ") + page + R"( {"id":1,"operation":"Alerts"})", true, unsupported},
        {"operation with a blank",
         std::string("message ") + page + R"( {"id":1,"operation":" alerts"})", true, unsupported},
        {"operation a number", std::string("message ") + page + R"( {"id":1,"operation":5})", true,
         reply_text(error(type_error_of(5)), "1", 400)},
        {"argument an array",
         std::string("message ") + page + R"( {"id":1,"operation":"alerts","argument":[1]})", true,
         reply_text(error(type_error_of(json::array({1}))), "1", 400)},
        {"further keys",
         std::string("message ") + page + R"( {"extra":{"a":1},"id":1,"operation":"nope"})", true,
         unsupported},
    };
    return rows;
}

TEST_F(HostProtocol, EveryMessageIsIgnoredOrAnsweredAtOnce) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    for (const Row& row : immediate_rows()) {
        SCOPED_TRACE(row.name);
        const std::size_t mark = run.log().size();
        ASSERT_TRUE(run.step(row.step));
        const std::vector<std::string> seen = lines_from(run.log(), mark);
        EXPECT_EQ(contains(seen, "message get_WebMessageAsJson"), row.read_text);
        const std::vector<std::string> replies = posted_replies(seen);
        if (row.reply) {
            EXPECT_EQ(replies, std::vector<std::string>{*row.reply});
        } else {
            EXPECT_TRUE(replies.empty()) << replies.front();
        }
        EXPECT_TRUE(contains(seen, "webview WebMessageReceived returned 0x00000000"));
        EXPECT_TRUE(contains(seen, "message args released")) << "the host kept the arguments";
    }
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    expect_everything_released(run.log());
}

TEST_F(HostProtocol, WorkersAnswerWithTheRequestsIdsAndTheOperationsRefusals) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    struct Request {
        std::string id;  // JSON text
        std::string operation;
        std::string argument;
        std::string error;
    };
    const std::vector<Request> requests = {
        {"\"w1\"", "point", "abc", "Expected point coordinates as latitude,longitude"},
        {"\"w2\"", "point", "10,10", "Select a point in the contiguous United States"},
        {"\"w3\"", "metars", "1,2,3", "Expected METAR bounds as south,west,north,east"},
        {"\"w4\"", "point", std::string(96, 'x'),
         "Expected point coordinates as latitude,longitude"},
        {"\"w5\"", "alerts", std::string(97, 'x'), "Weather request argument is too long"},
        {"\"w6\"", "point", "\xC3\xA9", "Expected point coordinates as latitude,longitude"},
        {"42", "point", "abc", "Expected point coordinates as latitude,longitude"},
        {"42", "point", "abc", "Expected point coordinates as latitude,longitude"},  // same id
    };
    const std::size_t mark = run.log().size();
    std::vector<std::string> expected;
    for (const Request& request : requests) {
        const std::string message = "{\"argument\":" + json(request.argument).dump() +
                                    ",\"id\":" + request.id + ",\"operation\":\"" +
                                    request.operation + "\"}";
        ASSERT_TRUE(run.step(std::string("message ") + page + " " + message));
        expected.push_back(reply_text(error(request.error), request.id, 400));
    }
    ASSERT_TRUE(wait_until(
        [&] { return posted_replies(lines_from(run.log(), mark)).size() >= requests.size(); }));
    std::vector<std::string> replies = posted_replies(lines_from(run.log(), mark));
    std::sort(replies.begin(), replies.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(replies, expected);

    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(posted_replies(lines_from(run.log(), mark)).size(), requests.size());
    expect_everything_released(run.log());
}

// Any program on the desktop can post the reply message's number. Foreign ones, whatever they
// carry, and a broadcast to every window are no replies: the program neither reads nor frees
// what they point to, and every real reply still reaches the page once.
TEST_F(HostProtocol, ForeignReplyMessagesAreIgnoredWhileRepliesFlow) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    const HWND window = run.main_window();
    std::jthread intruder([window](std::stop_token stop) {
        const LPARAM bogus[] = {0x4141414141, 1, -1, 0x10000, 0};
        while (!stop.stop_requested()) {
            for (const LPARAM value : bogus) {
                PostMessageW(window, WM_APP + 1, 0, value);
            }
            PostMessageW(HWND_BROADCAST, WM_APP + 1, 0, 0);
            Sleep(1);
        }
    });
    const std::size_t mark = run.log().size();
    std::vector<std::string> expected;
    for (int batch = 0; batch < 6; ++batch) {
        for (int i = 0; i < 4; ++i) {
            const std::string id = std::to_string(batch * 4 + i);
            ASSERT_TRUE(run.step(std::string("message ") + page + R"( {"argument":"abc","id":)" +
                                 id + R"(,"operation":"point"})"));
            expected.push_back(
                reply_text(error("Expected point coordinates as latitude,longitude"), id, 400));
        }
        ASSERT_TRUE(wait_until([&] {
            return posted_replies(lines_from(run.log(), mark)).size() >= expected.size();
        })) << "a reply went missing";
    }
    intruder.request_stop();
    intruder.join();
    std::vector<std::string> replies = posted_replies(lines_from(run.log(), mark));
    std::sort(replies.begin(), replies.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(replies, expected);

    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    expect_everything_released(run.log());
}

}  // namespace
}  // namespace host_test
