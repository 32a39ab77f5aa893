// Arbitrary statuses, bodies and allow-no-content choices through fetch_json's decoding: it
// either returns a value or throws std::runtime_error with a text that names the URL. A body
// is_canonical_json accepts is one the serialiser writes again byte for byte, and
// compact_document writes the same text as parsing and serialising.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tests/weather/scripted_client.h"
#include "weather/canonical_json.h"
#include "weather/fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    using weather::testing::Exchange;
    const std::string url = "https://aviationweather.gov/api/data/pirep?format=json";
    const int status = 100 + (data[0] | (data[1] << 8)) % 500;
    const bool allow_no_content = data[2] & 1;
    const std::string body(reinterpret_cast<const char*>(data) + 3, size - 3);

    if (weather::is_canonical_json(body) &&
        weather::to_compact_json(nlohmann::json::parse(body, nullptr, true, false)) != body) {
        std::abort();
    }
    // The text written while reading is the text of the parsed value, and only valid documents
    // have one (depths beyond the fetch's limit are refused before either runs).
    if (weather::json_text_fault(body) == weather::JsonTextFault::none) {
        std::string parsed;
        std::string streamed;
        try {
            parsed = weather::to_compact_json(nlohmann::json::parse(body, nullptr, true, false));
        } catch (const nlohmann::json::exception&) {
        }
        try {
            streamed = weather::compact_document(body).text;
        } catch (const nlohmann::json::exception&) {
        }
        if (parsed != streamed) {
            std::abort();
        }
    }

    weather::testing::ScriptedClient client;
    client.on(url, Exchange::ok(body, status));
    const weather::FetchContext transport{client, [](std::chrono::milliseconds) {},
                                          weather::attempt_time_limit, "pireps"};
    try {
        const nlohmann::json value = weather::fetch_json(transport, url, allow_no_content);
        if (status < 200 || status > 299) {
            std::abort();
        }
        (void)value.dump();
    } catch (const std::runtime_error& failure) {
        if (std::string(failure.what()).find(url) == std::string::npos) {
            std::abort();
        }
    }
    return 0;
}
