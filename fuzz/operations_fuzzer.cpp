// Every operation through the scripted client, with the fuzz input choosing the operation, its
// argument and what each service request answers (the project's document, an edited one, any
// status and body, no content, or a network failure). The weather core must answer 200, 400 or
// 502 with a body the serialiser wrote and marked so, keep exactly the replies it may keep (marked
// as the cache's when asked again), and the spliced reply text must equal the parsed-and-
// serialised one, also for the raw and the cached bodies.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "app/bridge/reply.h"
#include "base/unicode.h"
#include "tests/app/bridge/reference_reply.h"
#include "tests/weather/scripted_client.h"
#include "weather/arguments.h"
#include "weather/canonical_json.h"
#include "weather/operations.h"

namespace {

using weather::testing::Exchange;
using weather::testing::Step;

constexpr int product_slots = 5;

// Which of an operation's requests an object name is (its slot), and the document that answers
// it in the project's test data.
std::pair<int, const char*> request_kind(const std::string& object) {
    const auto has = [&](const char* part) { return object.find(part) != std::string::npos; };
    if (has("/api/data/metar?ids="))
        return {1, "awc/metar_ids.json"};
    if (has("/api/data/metar"))
        return {0, "awc/metar_west.json"};
    if (has("/api/data/pirep"))
        return {0, "awc/pirep_west.json"};
    if (has("/api/data/taf"))
        return {0, "awc/taf_west.json"};
    if (has("/api/data/airsigmet"))
        return {0, "awc/airsigmet.json"};
    if (has("/api/data/gairmet"))
        return {1, "awc/gairmet.json"};
    if (has("/api/data/cwa"))
        return {2, "awc/cwa.json"};
    if (has("/alerts/"))
        return {0, "nws/alerts_active.json"};
    if (has("/points/"))
        return {0, "nws/points_slc.json"};
    if (has("/products/types/HWO/"))
        return {0, "nws/hwo_slc_latest.json"};
    if (has("/products/types/FWF/"))
        return {0, "nws/fwf_slc_latest.json"};
    if (has("/products/map-layer"))
        return {0, "avalanche/map_layer.json"};
    if (has("/products/"))
        return {0, "nws/afd_slc_latest.json"};
    if (has("/zones/"))
        return {0, "nws/zone_forecast_UTZ110.json"};
    if (has("/forecast/hourly"))
        return {1, "nws/forecast_hourly_slc.json"};
    if (has("/forecast"))
        return {0, "nws/forecast_slc.json"};
    if (has("/stations/") && has("/observations/latest")) {
        return {4, "nws/observation_kslc.json"};
    }
    if (has("/stations"))
        return {3, "nws/stations_slc.json"};
    return {2, "nws/gridpoints_slc.json"};
}

// Members the operations read; every other member of a large object may go.
const std::set<std::string> used_members = {"features",
                                            "properties",
                                            "periods",
                                            "forecastHourly",
                                            "forecastGridData",
                                            "forecast",
                                            "observationStations",
                                            "id",
                                            "stationIdentifier",
                                            "name",
                                            "productText",
                                            "issuanceTime",
                                            "issuingOffice",
                                            "icaoId",
                                            "obsTime",
                                            "gridId",
                                            "gridX",
                                            "gridY",
                                            "geometry",
                                            "coordinates",
                                            "rawOb",
                                            "cwa"};

// Cuts every array to its first two elements, every object to the members the operations read
// and four others, and every long text (alert descriptions, raw reports) to 120 bytes, leaving
// links whole: the shapes stay those of the real documents, while each run parses a few hundred
// bytes instead of tens of kilobytes, so long runs reach millions of inputs.
void shorten(nlohmann::json& value) {
    if (value.is_array() && value.size() > 2) {
        value.erase(value.begin() + 2, value.end());
    }
    if (value.is_object()) {
        std::size_t others = 0;
        for (auto member = value.begin(); member != value.end();) {
            if (used_members.count(member.key()) == 0 && ++others > 4) {
                member = value.erase(member);
            } else {
                ++member;
            }
        }
    }
    if (value.is_string() && value.get_ref<const std::string&>().size() > 120) {
        value = base::valid_utf8(value.get_ref<const std::string&>().substr(0, 120));
    }
    if (value.is_structured()) {
        for (auto& element : value) {
            shorten(element);
        }
    }
}

// Read once, before any request thread looks at them.
const std::string& document(const std::string& file) {
    static const std::map<std::string, std::string> documents = [] {
        std::map<std::string, std::string> read;
        const auto routes = nlohmann::json::parse(weather::testing::test_document("routes.json"));
        for (const auto& route : routes) {
            if (route.contains("file")) {
                nlohmann::json shortened =
                    nlohmann::json::parse(weather::testing::test_document(route.at("file")));
                shorten(shortened);
                read.emplace(route.at("file"), shortened.dump());
            }
        }
        return read;
    }();
    return documents.at(file);
}

const char* const canned_arguments[][3] = {
    {"", "36,-115,38,-112", weather::western_box},        // metars
    {"", "", ""},                                         // pireps
    {"40.76,-111.89", "24,-126", "50.5,-66"},             // point
    {"", "", ""},                                         // alerts
    {"", "31,-125,32,-124", "40,-112,41,-111"},           // tafs
    {"", "", ""},                                         // hazards
    {"SLC/101,174", "SLC/0,0", "PQR/999,1"},              // forecast
    {"SLC", "XYZ", "PQR"},                                // discussion
    {"forecast/UTZ110", "county/MTC029", "fire/UTZ478"},  // zone
    {"06", "12", "high"},                                 // winds
    {"HWO/SLC", "FWF/SLC", "AFD/SLC"},                    // outlook
    {"", "", ""},                                         // avalanche
};
static_assert(std::size(canned_arguments) == weather::operations.size());

struct SlotAnswer {
    Exchange exchange;
    bool document = false;
    std::size_t cut = std::string::npos;  // an edited document ends here ...
    std::string insert;                   // ... after this text
};

void abort_unless(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)document("awc/cwa.json");  // loads every document on this thread
    FuzzedDataProvider input(data, size);
    const std::size_t index =
        input.ConsumeIntegralInRange<std::size_t>(0, weather::operations.size() - 1);
    const std::string operation(weather::operations[index].name);
    const std::string argument =
        input.ConsumeBool()
            ? std::string(canned_arguments[index][input.ConsumeIntegralInRange<int>(0, 2)])
            : input.ConsumeRandomLengthString(128);

    SlotAnswer slots[product_slots];
    std::string raw_body;
    for (SlotAnswer& slot : slots) {
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
            case 0:
                slot.document = true;
                break;
            case 1:
                slot.document = true;
                slot.cut = input.ConsumeIntegral<std::uint16_t>();
                slot.insert = input.ConsumeRandomLengthString(64);
                break;
            case 2:
                raw_body = input.ConsumeRandomLengthString(1024);
                slot.exchange = Exchange::ok(raw_body, input.ConsumeIntegralInRange(100, 599));
                break;
            case 3:
                slot.exchange = Exchange::with_status(204);
                break;
            default:
                slot.exchange = Exchange::failure(input.ConsumeBool() ? Step::send : Step::read,
                                                  input.ConsumeIntegral<std::uint16_t>());
                break;
        }
    }

    weather::testing::ScriptedClient client;
    client.answer_with([&slots](const std::string&, const std::string& object) {
        const auto [slot_index, file] = request_kind(object);
        const SlotAnswer& slot = slots[slot_index];
        if (!slot.document) {
            return slot.exchange;
        }
        std::string body = document(file);
        if (slot.cut < body.size()) {
            body = body.substr(0, slot.cut) + slot.insert;
        }
        return Exchange::ok(std::move(body));
    });
    weather::testing::FakeClock clock;
    weather::WeatherService service(weather::FetchContext{client, [](std::chrono::milliseconds) {}},
                                    [&] { return clock.now(); });

    const weather::Response response = service.run_operation(operation, argument);
    abort_unless(response.status == 200 || response.status == 400 || response.status == 502);
    const nlohmann::json body = nlohmann::json::parse(response.body);
    abort_unless(weather::to_compact_json(body) == response.body);
    abort_unless(response.origin == weather::BodyOrigin::serialiser);

    const auto answering = [](weather::Response given) {
        return [given](const std::string&, const std::string&) { return given; };
    };
    const nlohmann::json id = "fuzz";
    abort_unless(bridge::reply_text(id, operation, argument, answering(response)) ==
                 bridge::reply_json_text(
                     bridge::finished_reply(id, operation, argument, answering(response))));
    const weather::Response raw{200, raw_body};
    abort_unless(
        bridge::reply_text(id, operation, argument, answering(raw)) ==
        bridge::reply_json_text(bridge::finished_reply(id, operation, argument, answering(raw))));

    // Asked again at once: kept replies come from the cache, the others from the services.
    const bool partial_hazards =
        operation == "hazards" && response.status == 200 && !body.at("warnings").empty();
    const bool kept = response.status == 200 && !partial_hazards;
    const std::size_t requests = client.request_count();
    const weather::Response again = service.run_operation(operation, argument);
    abort_unless((client.request_count() == requests) == (kept || response.status == 400));
    abort_unless(again.status == response.status);
    abort_unless(again.origin ==
                 (kept ? weather::BodyOrigin::cache : weather::BodyOrigin::serialiser));
    abort_unless(
        bridge::reply_text(id, operation, argument, answering(again)) ==
        bridge::reply_json_text(bridge::finished_reply(id, operation, argument, answering(again))));
    return 0;
}
