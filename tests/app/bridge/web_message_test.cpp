#include "app/bridge/web_message.h"

#include <gtest/gtest.h>

#include "app/bridge/async_state.h"
#include "app/bridge/reply.h"
#include "base/unicode.h"
#include "tests/app/bridge/reference_reply.h"
#include "weather/canonical_json.h"

namespace bridge {
namespace {

// The origin the checks are given, as the Windows host names its page.
constexpr char page_prefix[] = "https://corvane-weather.example/";
const std::string page = std::string(page_prefix) + "index.html";

class WebMessageTest : public ::testing::Test {
protected:
    // The immediate reply, or nullopt; accepted requests are collected in `started`.
    std::optional<nlohmann::json> send(std::string_view text, std::string_view source = page) {
        return accept_web_message(
            source, text, active_requests,
            [this](PageRequest&& request) {
                if (fail_start) {
                    throw std::system_error(
                        std::make_error_code(std::errc::resource_unavailable_try_again));
                }
                started.push_back(std::move(request));
            },
            page_prefix);
    }

    std::atomic<std::int32_t> active_requests{0};
    std::vector<PageRequest> started;
    bool fail_start = false;
};

TEST_F(WebMessageTest, AcceptsAValidRequestAndReservesASlot) {
    EXPECT_FALSE(
        send(R"({"id": 7, "operation": "point", "argument": "40.76,-111.89", "extra": [1]})"));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].id, 7);
    EXPECT_EQ(started[0].operation, "point");
    EXPECT_EQ(started[0].argument, "40.76,-111.89");
    EXPECT_EQ(active_requests.load(), 1);
}

TEST_F(WebMessageTest, IgnoresMessagesFromAnyOtherSource) {
    const std::string request = R"({"id": 1, "operation": "alerts"})";
    struct Case {
        std::string source;
        bool accepted;
    };
    const Case cases[] = {
        {page_prefix, true},
        {std::string(page_prefix) + "index.html?x#y", true},
        {"https://corvane-weather.example", false},
        {"https://Corvane-weather.example/index.html", false},
        {"HTTPS://corvane-weather.example/index.html", false},
        {"http://corvane-weather.example/index.html", false},
        {"https://corvane-weather.example.evil.test/index.html", false},
        {"https://evil.test/https://corvane-weather.example/", false},
        {"", false},
    };
    for (const auto& c : cases) {
        started.clear();
        EXPECT_FALSE(send(request, c.source)) << c.source;
        EXPECT_EQ(started.size(), c.accepted ? 1u : 0u) << c.source;
    }
}

TEST_F(WebMessageTest, SizeLimitIs2048Utf8Bytes) {
    // Padding with a two-byte character: the text length in bytes is what counts.
    const std::string head = R"({"id":1,"operation":"alerts","argument":")";
    const std::string tail = R"("})";
    const auto message_of = [&](std::size_t bytes) {
        std::string padding;
        while (head.size() + padding.size() + tail.size() + 2 <= bytes) {
            padding += "\xC3\xB1";
        }
        while (head.size() + padding.size() + tail.size() < bytes) {
            padding += "x";
        }
        return head + padding + tail;
    };
    for (const std::size_t bytes : {std::size_t{2047}, std::size_t{2048}, std::size_t{2049}}) {
        started.clear();
        const std::string message = message_of(bytes);
        ASSERT_EQ(message.size(), bytes);
        EXPECT_FALSE(send(message));
        EXPECT_EQ(started.size(), bytes <= 2048 ? 1u : 0u) << bytes;
        active_requests = 0;
    }
}

TEST_F(WebMessageTest, UnparsableTextIsAnswered400WithANullId) {
    for (const std::string text :
         {"", "{", "{\"id\": 1,}", "[1] [2]", "{\"id\": 1} // c", "{\"id\": \xC3\xA9}"}) {
        const auto reply = send(text);
        ASSERT_TRUE(reply) << text;
        std::string library_text;
        try {
            const auto ignored = nlohmann::json::parse(text, nullptr, true, false);
        } catch (const nlohmann::json::parse_error& e) {
            library_text = e.what();
        }
        EXPECT_EQ((*reply)["status"], 400);
        EXPECT_TRUE((*reply)["id"].is_null());
        EXPECT_EQ((*reply)["body"]["error"], base::valid_utf8(library_text));
        EXPECT_NO_THROW(reply_json_text(*reply)) << "every reply can be serialised";
    }
    EXPECT_TRUE(started.empty());
}

// The page never sends such text; the limits are those of the services' documents, so no
// parsed message is ever walked deeper than that.
TEST_F(WebMessageTest, DeepNestingAndZeroBytesAreAnswered400WithANullId) {
    using namespace std::string_literals;
    const auto with_extra = [](std::size_t depth) {
        return R"({"id": 1, "operation": "alerts", "extra": )" + std::string(depth - 1, '[') +
               std::string(depth - 1, ']') + "}";
    };
    constexpr char too_deep[] = "Web message is nested more than 256 levels deep";
    constexpr char zero_byte[] = "Web message contains a 0 byte";
    struct Case {
        std::string message;
        std::string error;  // "" when accepted
    };
    const Case cases[] = {
        {with_extra(255), ""},
        {with_extra(256), ""},
        {with_extra(257), too_deep},
        {with_extra(1000), too_deep},
        {R"({"id": 1, "operation": "alerts", "argument": ")" + std::string(1000, '[') + R"("})",
         ""},
        {R"({"id": 1, "operation": "alerts"})"s + "\0 garbage"s, zero_byte},
        {"\0"s, zero_byte},
        {R"({"id": 1, "operation": "alerts", "argument": "a)"s + "\0"s + R"(b"})", zero_byte},
    };
    for (const auto& c : cases) {
        started.clear();
        active_requests = 0;
        const auto reply = send(c.message);
        if (c.error.empty()) {
            EXPECT_FALSE(reply);
            EXPECT_EQ(started.size(), 1u);
            continue;
        }
        ASSERT_TRUE(reply) << c.message.substr(0, 60);
        EXPECT_EQ(*reply, make_reply(nullptr, 400, error_body(c.error)));
        EXPECT_TRUE(started.empty());
    }
    // Far past the size limit: ignored unread.
    EXPECT_FALSE(send(std::string(1000000, '[') + std::string(1000000, ']')));
    EXPECT_EQ(active_requests.load(), 0);
}

TEST_F(WebMessageTest, IgnoresValuesThatAreNotObjects) {
    for (const std::string text :
         {"\"{\\\"id\\\": 1, \\\"operation\\\": \\\"alerts\\\"}\"", "[1]", "7", "null", "true"}) {
        EXPECT_FALSE(send(text)) << text;
    }
    EXPECT_TRUE(started.empty());
}

TEST_F(WebMessageTest, IdRules) {
    struct Case {
        std::string id_json;
        bool answered;
    };
    const std::string id_98(98, 'a');
    const Case cases[] = {
        {"7", true},
        {"-7", true},
        {"0", true},
        {"18446744073709551615", true},
        {"-9223372036854775808", true},
        {"\"abc\"", true},
        {"\"\"", true},
        {"\"" + id_98 + "\"", true},
        {"\"" + id_98 + "a\"", false},
        {"\"" + std::string(96, 'a') + "\\\"\"", true},
        {"\"" + std::string(97, 'a') + "\\n\"", false},
        {"\"" + std::string(96, 'a') + "\\u0041\"", true},
        {"7.5", false},
        {"1e3", false},
        {"7.0", false},
        {"18446744073709551616", false},
        {"true", false},
        {"null", false},
        {"[1]", false},
        {"{}", false},
    };
    for (const auto& c : cases) {
        started.clear();
        active_requests = 0;
        const auto reply = send(R"({"operation": "nope", "id": )" + c.id_json + "}");
        EXPECT_EQ(reply.has_value(), c.answered) << c.id_json;
        if (reply) {
            EXPECT_EQ((*reply)["id"], nlohmann::json::parse(c.id_json)) << c.id_json;
            EXPECT_EQ((*reply)["status"], 400);
        }
    }
    EXPECT_FALSE(send(R"({"operation": "alerts"})")) << "no id";
}

TEST_F(WebMessageTest, OperationAndArgumentRules) {
    struct Case {
        std::string message;
        std::string error;  // "" when accepted
    };
    std::string type_error;
    try {
        (void)nlohmann::json(5).get<std::string>();
    } catch (const nlohmann::json::type_error& e) {
        type_error = e.what();
    }
    const Case cases[] = {
        {R"({"id": 1})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": "Alerts"})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": " alerts"})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": ""})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": 5})", type_error},
        {R"({"id": 1, "operation": null})", "type must be string, but is null"},
        {R"({"id": 1, "operation": "alerts", "argument": 5})", type_error},
        {R"({"id": 1, "operation": "alerts", "argument": ["x"]})",
         "type must be string, but is array"},
        {R"({"id": 1, "operation": "Tafs"})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": "hazard"})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": "alerts"})", ""},
        {R"({"id": 1, "operation": "metars"})", ""},
        {R"({"id": 1, "operation": "point"})", ""},
        {R"({"id": 1, "operation": "tafs", "argument": "36,-115,38,-112"})", ""},
        {R"({"id": 1, "operation": "hazards"})", ""},
        {R"({"id": 1, "operation": "forecast", "argument": "SLC/101,174"})", ""},
        {R"({"id": 1, "operation": "discussion", "argument": "SLC"})", ""},
        {R"({"id": 1, "operation": "zone", "argument": "forecast/UTZ110"})", ""},
        {R"({"id": 1, "operation": "Zone", "argument": "forecast/UTZ110"})",
         "Unsupported weather operation"},
        {R"({"id": 1, "operation": "zones", "argument": "forecast/UTZ110"})",
         "Unsupported weather operation"},
        {R"({"id": 1, "operation": "winds", "argument": "06"})", ""},
        {R"({"id": 1, "operation": "Winds", "argument": "06"})", "Unsupported weather operation"},
        {R"({"id": 1, "operation": "pireps", "argument": ")" + std::string(200, 'x') + "\"}", ""},
    };
    for (const auto& c : cases) {
        started.clear();
        active_requests = 0;
        const auto reply = send(c.message);
        if (c.error.empty()) {
            EXPECT_FALSE(reply) << c.message;
            EXPECT_EQ(started.size(), 1u);
            continue;
        }
        ASSERT_TRUE(reply) << c.message;
        EXPECT_EQ((*reply)["id"], 1);
        EXPECT_EQ((*reply)["status"], 400);
        const std::string error = (*reply)["body"]["error"];
        if (c.error.starts_with("type must")) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        } else {
            EXPECT_EQ(error, c.error);
        }
        EXPECT_EQ(active_requests.load(), 0);
    }
}

// A lone surrogate the page sends arrives as an escape in JSON text (the Linux host's bridge) or
// as a lone UTF-16 unit that the Windows host turns into U+FFFD before the checks; either way
// the request is read with U+FFFD in its place and answered with its id. Escaped pairs and an
// escaped backslash before "u" are left as they are.
TEST_F(WebMessageTest, EscapedLoneSurrogatesReadAsTheReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        std::string message;
        nlohmann::json id;
        std::string operation;
        std::string argument;
    };
    const Case cases[] = {
        {R"({"id":"x","operation":"alerts\ud800"})", "x", "alerts" + replacement, ""},
        {R"({"id":"x","operation":"alerts\uDBFF\u0041"})", "x", "alerts" + replacement + "A", ""},
        {R"({"id":1,"operation":"point","argument":"\udc00abc"})", 1, "point", replacement + "abc"},
        {R"({"id":"a\ud800","operation":"alerts"})", "a" + replacement, "alerts", ""},
        {R"({"id":2,"operation":"point","argument":"\ud800\ud800\udc00"})", 2, "point",
         replacement + "\xF0\x90\x80\x80"},
        {R"({"id":3,"operation":"point","argument":"\ud83d\ude00"})", 3, "point",
         "\xF0\x9F\x98\x80"},
        {R"({"id":4,"operation":"point","argument":"\\ud800"})", 4, "point", "\\ud800"},
    };
    for (const Case& c : cases) {
        started.clear();
        active_requests = 0;
        const auto reply = send(c.message);
        if (c.operation == "alerts" || c.operation == "point") {
            EXPECT_FALSE(reply) << c.message;
            ASSERT_EQ(started.size(), 1u) << c.message;
            EXPECT_EQ(started[0].id, c.id);
            EXPECT_EQ(started[0].operation, c.operation);
            EXPECT_EQ(started[0].argument, c.argument) << c.message;
        } else {
            ASSERT_TRUE(reply) << c.message;
            EXPECT_EQ((*reply)["id"], c.id) << c.message;
            EXPECT_EQ((*reply)["status"], 400);
            EXPECT_EQ((*reply)["body"]["error"], "Unsupported weather operation");
        }
    }
}

TEST_F(WebMessageTest, TheNinthRequestInFlightIsBusy) {
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(send(R"({"id": )" + std::to_string(i) + R"(, "operation": "alerts"})"));
    }
    const auto busy = send(R"({"id": "ninth", "operation": "alerts"})");
    ASSERT_TRUE(busy);
    EXPECT_EQ(
        reply_json_text(*busy),
        R"({"body":{"error":"Weather requests are busy. Try again in a moment."},"id":"ninth","status":429})");
    EXPECT_EQ(active_requests.load(), 8);
    release_slot(active_requests);
    EXPECT_FALSE(send(R"({"id": 9, "operation": "alerts"})"));
    EXPECT_EQ(started.size(), 9u);
    EXPECT_EQ(active_requests.load(), 8);
}

TEST_F(WebMessageTest, AWorkerThatCannotStartIsAnswered400AndGivesItsSlotBack) {
    fail_start = true;
    const auto reply = send(R"({"id": "w", "operation": "metars"})");
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)["id"], "w");
    EXPECT_EQ((*reply)["status"], 400);
    EXPECT_EQ(
        (*reply)["body"]["error"],
        std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)).what());
    EXPECT_EQ(active_requests.load(), 0);
}

TEST(Reply, KeysComeOutAsBodyIdStatus) {
    EXPECT_EQ(reply_json_text(make_reply("x", 400, error_body("Unsupported weather operation"))),
              R"({"body":{"error":"Unsupported weather operation"},"id":"x","status":400})");
    EXPECT_EQ(
        reply_json_text(make_reply(nullptr, 200, nlohmann::json::parse(R"({"b":1,"a":"\u00f1"})"))),
        "{\"body\":{\"a\":\"\xC3\xB1\",\"b\":1},\"id\":null,\"status\":200}");
}

TEST(Reply, FinishedReplyCarriesTheOperationsResultOr500) {
    std::string parse_error;
    try {
        const auto ignored = nlohmann::json::parse("nope", nullptr, true, false);
    } catch (const nlohmann::json::parse_error& e) {
        parse_error = e.what();
    }
    struct Case {
        const char* name;
        OperationRunner run;
        nlohmann::json expected;
    };
    const Case cases[] = {
        {"success",
         [](const std::string&, const std::string&) {
             return weather::Response{200, "[1,2]"};
         },
         make_reply(3, 200, {1, 2})},
        {"error response",
         [](const std::string&, const std::string&) {
             return weather::error_response(502, "Weather service returned HTTP 500: u", "");
         },
         make_reply(3, 502, error_body("Weather service returned HTTP 500: u"))},
        {"throws",
         [](const std::string&, const std::string&) -> weather::Response {
             throw std::runtime_error("boom");
         },
         make_reply(3, 500, error_body("boom"))},
        {"not json",
         [](const std::string&, const std::string&) {
             return weather::Response{200, "nope"};
         },
         make_reply(3, 500, error_body(parse_error))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(finished_reply(3, "alerts", "", c.run), c.expected) << c.name;
    }
}

TEST(Reply, ErrorTextsAreAlwaysSerialisable) {
    EXPECT_EQ(reply_json_text(make_reply(1, 500, error_body("cut \xC3"))),
              "{\"body\":{\"error\":\"cut \xEF\xBF\xBD\"},\"id\":1,\"status\":500}");
}

}  // namespace
}  // namespace bridge
