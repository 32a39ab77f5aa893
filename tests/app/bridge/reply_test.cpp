#include "app/bridge/reply.h"

#include <gtest/gtest.h>

#include "tests/app/bridge/reference_reply.h"
#include "tests/weather/scripted_client.h"
#include "weather/canonical_json.h"
#include "weather/operations.h"

namespace bridge {
namespace {

using nlohmann::json;

// The reference form: the body parsed and the whole reply serialised.
std::string reference_text(const json& id, const OperationRunner& run) {
    return reply_json_text(finished_reply(id, "op", "arg", run));
}

OperationRunner answering(int status, std::string body,
                          weather::BodyOrigin origin = weather::BodyOrigin::elsewhere) {
    return [status, body, origin](const std::string&, const std::string&) {
        return weather::Response{status, body, weather::json_content_type, origin};
    };
}

TEST(ReplyText, IsTheReferenceFormForEveryKindOfBody) {
    struct Case {
        std::string name;
        OperationRunner run;
        std::string expected;
        bool taken_on_trust = false;  // spliced unchecked, so not the reference form here
    };
    const Case cases[] = {
        {"compact body", answering(200, R"({"a":[1,2.5,"x"],"b":null})"),
         R"({"body":{"a":[1,2.5,"x"],"b":null},"id":"r1","status":200})"},
        {"error body", answering(502, weather::error_response(502, "down", "https://u").body),
         R"({"body":{"error":"down","source":"https://u"},"id":"r1","status":502})"},
        {"unsorted keys", answering(200, R"({"b":1,"a":2})"),
         R"({"body":{"a":2,"b":1},"id":"r1","status":200})"},
        {"blanks", answering(200, "[ 1 ,\n 2 ]"), R"({"body":[1,2],"id":"r1","status":200})"},
        {"escaped slash", answering(200, R"("a\/b")"), R"({"body":"a/b","id":"r1","status":200})"},
        {"float form", answering(200, "[1e2,1.50]"),
         R"({"body":[100.0,1.5],"id":"r1","status":200})"},
        // The blanks no serialiser writes show whether the body was checked again.
        {"the core's own", answering(200, "[ 1 ]", weather::BodyOrigin::serialiser),
         R"({"body":[ 1 ],"id":"r1","status":200})", true},
        {"from the cache", answering(200, "[ 1 ]", weather::BodyOrigin::cache),
         R"({"body":[1],"id":"r1","status":200})"},
        {"not JSON", answering(200, "nope"), ""},
        {"empty", answering(200, ""), ""},
        {"throws",
         [](const std::string&, const std::string&) -> weather::Response {
             throw std::runtime_error("mutex failure");
         },
         R"({"body":{"error":"mutex failure"},"id":"r1","status":500})"},
    };
    for (const auto& c : cases) {
        const std::string text = reply_text("r1", "op", "arg", c.run);
        if (!c.taken_on_trust) {
            EXPECT_EQ(text, reference_text("r1", c.run)) << c.name;
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(text, c.expected) << c.name;
        } else {
            EXPECT_EQ(json::parse(text).at("status"), 500) << c.name;
        }
    }
}

TEST(ReplyText, CarriesEveryKindOfIdAndStatus) {
    for (const json& id :
         {json(7), json(-7), json(0), json(9223372036854775807LL), json(18446744073709551615ULL),
          json("a \"quoted\" \xC3\xB1 id"), json(nullptr)}) {
        for (const int status : {200, 400, 429, 500, 502, -1}) {
            const OperationRunner run = answering(status, "[]");
            EXPECT_EQ(reply_text(id, "op", "arg", run), reference_text(id, run)) << id.dump();
        }
    }
}

// Every response the weather core gives over the project's documents takes the spliced path
// and reads exactly as the reference form.
TEST(ReplyText, AgreesWithTheReferenceOverEveryOperationAndDocument) {
    weather::testing::ScriptedClient client;
    weather::testing::answer_from_routes(client);
    weather::testing::PauseRecorder pauses;
    weather::WeatherService service(weather::FetchContext{client, pauses.function()});
    const std::pair<std::string, std::string> requests[] = {
        {"point", "40.76,-111.89"},
        {"metars", ""},
        {"metars", "36,-115,38,-112"},
        {"pireps", ""},
        {"alerts", ""},
        {"tafs", ""},
        {"tafs", "31,-125,32,-124"},
        {"hazards", ""},
        {"forecast", "SLC/101,174"},
        {"forecast", "SLC/0,0"},
        {"discussion", "SLC"},
        {"discussion", "XYZ"},
        {"zone", "forecast/UTZ110"},
        {"zone", "county/MTC029"},
        {"zone", "fire/UTZ478"},
        {"zone", "forecast/utz110"},
        {"winds", "06"},
        {"winds", "high"},
        {"winds", "24"},
        {"outlook", "HWO/SLC"},
        {"outlook", "hwo/SLC"},
        {"avalanche", ""},
        {"point", "51.5,-0.12"},
        {"forecast", "slc"},
        {"radar", ""},
    };
    for (const auto& [operation, argument] : requests) {
        const weather::Response response = service.run_operation(operation, argument);
        EXPECT_TRUE(weather::is_canonical_json(response.body)) << operation << " " << argument;
        EXPECT_EQ(response.origin, weather::BodyOrigin::serialiser) << operation << " " << argument;
        const OperationRunner run = answering(response.status, response.body, response.origin);
        EXPECT_EQ(reply_text(12, operation, argument, run), reference_text(12, run))
            << operation << " " << argument;
    }

    // The documents as the services send them (pretty, unsorted) take the reference path.
    for (const auto& route : json::parse(weather::testing::test_document("routes.json"))) {
        if (!route.contains("file")) {
            continue;
        }
        const std::string raw = weather::testing::test_document(route.at("file"));
        const OperationRunner run = answering(200, raw);
        EXPECT_EQ(reply_text("d", "op", "", run), reference_text("d", run)) << route.at("file");
    }
}

// The service's bodies, missed and then found in its cache, have room for the reply around them:
// it is written in the body's own buffer, not in a second one beside the cache's copy. An id as
// long as a page's message allows fits too.
TEST(ReplyText, IsWrittenInTheBufferOfTheServicesBody) {
    weather::testing::ScriptedClient client;
    weather::testing::answer_from_routes(client);
    weather::testing::PauseRecorder pauses;
    weather::WeatherService service(weather::FetchContext{client, pauses.function()});
    for (const json& id : {json(12), json(std::string(2040, 'i'))}) {
        for (const char* operation : {"hazards", "alerts"}) {
            const void* body_buffer = nullptr;
            weather::BodyOrigin origin{};
            const OperationRunner run = [&](const std::string& name, const std::string& argument) {
                weather::Response response = service.run_operation(name, argument);
                body_buffer = response.body.data();
                origin = response.origin;
                return response;
            };
            const std::string text = reply_text(id, operation, "", run);
            EXPECT_EQ(static_cast<const void*>(text.data()), body_buffer) << operation;
            EXPECT_EQ(origin,
                      id == 12 ? weather::BodyOrigin::serialiser : weather::BodyOrigin::cache)
                << operation;
            EXPECT_EQ(text, reply_json_text(finished_reply(id, operation, "", run))) << operation;
        }
    }
}

}  // namespace
}  // namespace bridge
