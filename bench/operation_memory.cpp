// Peak memory of single operations over documents of about 12 MB each (not a test). Each case
// prints the bytes its services sent, the highest number of bytes allocated at once while it ran
// (every allocation is counted; room reserved but never written counts too) and the growth of
// the process's resident memory (the kernel's high-water mark, reset before each case), with
// large blocks given back to the system when freed, as the Linux host has them.
//   operation_memory [CASE...]    cases: hazards tafs forecast metars point hazards-x8
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/unicode.h"
#include "weather/arguments.h"
#include "weather/canonical_json.h"
#include "weather/operations.h"
#include "weather/services.h"

namespace {

std::atomic<long long> allocated{0};
std::atomic<long long> peak{0};

void* counted(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (!block) {
        throw std::bad_alloc();
    }
    const long long now = allocated += static_cast<long long>(malloc_usable_size(block));
    long long seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return block;
}

void uncounted(void* block) {
    if (block) {
        allocated -= static_cast<long long>(malloc_usable_size(block));
        std::free(block);
    }
}

}  // namespace

void* operator new(std::size_t size) {
    return counted(size);
}
void* operator new[](std::size_t size) {
    return counted(size);
}
void operator delete(void* block) noexcept {
    uncounted(block);
}
void operator delete[](void* block) noexcept {
    uncounted(block);
}
void operator delete(void* block, std::size_t) noexcept {
    uncounted(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    uncounted(block);
}

namespace {

constexpr std::size_t document_bytes = 12'000'000;  // the transport takes 12,582,912

// Serves fixed documents by object name without copying them, as a network would hand them
// over: 16 KiB a read.
class DocumentClient : public weather::HttpClient {
public:
    std::map<std::string, std::string> documents;  // object name -> body

    std::unique_ptr<weather::HttpExchange> start_exchange(weather::Deadline) const override {
        return std::make_unique<Exchange>(*this);
    }

private:
    class Exchange : public weather::HttpExchange {
    public:
        explicit Exchange(const DocumentClient& client) : client(client) {}
        bool open_session() override { return true; }
        bool connect(const std::u16string&, std::uint16_t) override { return true; }
        bool open_request(const std::u16string& object_name) override {
            const auto found = client.documents.find(base::utf16_to_utf8(object_name));
            body = found == client.documents.end() ? nullptr : &found->second;
            return true;
        }
        bool send() override { return true; }
        bool query_status(std::int32_t& status) override {
            status = body ? 200 : 404;
            return true;
        }
        std::optional<std::u16string> redirect_location() override { return std::nullopt; }
        bool read(std::span<char> buffer, std::size_t& bytes_read) override {
            bytes_read = body ? std::min(buffer.size(), body->size() - offset) : 0;
            if (bytes_read) {
                std::memcpy(buffer.data(), body->data() + offset, bytes_read);
            }
            offset += bytes_read;
            return true;
        }
        std::string failure_text(std::string_view text) const override { return std::string(text); }
        bool timed_out() const override { return false; }

    private:
        const DocumentClient& client;
        const std::string* body = nullptr;
        std::size_t offset = 0;
    };
};

// Copies of `item` with growing numbers until the array's compact text has about `bytes`.
std::string array_of(const nlohmann::json& item, std::size_t bytes) {
    const std::size_t item_bytes = item.dump().size() + 1;
    std::string text = "[";
    for (std::size_t i = 0; text.size() + item_bytes < bytes; ++i) {
        nlohmann::json copy = item;
        copy["number"] = i;
        text += (i ? "," : "") + copy.dump();
    }
    return text + "]";
}

nlohmann::json area(int points) {
    nlohmann::json coords = nlohmann::json::array();
    for (int i = 0; i < points; ++i) {
        coords.push_back({{"lat", 40.0 + i * 0.0137}, {"lon", -111.0 - i * 0.0191}});
    }
    return coords;
}

std::string hazard_array() {
    return array_of({{"hazard", "TURB"},
                     {"severity", "MOD"},
                     {"validTimeFrom", 1765296000},
                     {"validTimeTo", 1765310400},
                     {"altitudeLow1", 18000},
                     {"altitudeHi1", 35000},
                     {"rawAirSigmet", "WSUS05 KKCI 091455 SIGMET TANGO 3 VALID UNTIL 092055"},
                     {"coords", area(24)}},
                    document_bytes);
}

std::string periods_document() {
    nlohmann::json period = {
        {"name", "This Afternoon"},
        {"startTime", "2026-12-09T12:00:00-07:00"},
        {"temperature", 34},
        {"windSpeed", "5 to 10 mph"},
        {"shortForecast", "Chance Snow Showers"},
        {"probabilityOfPrecipitation", {{"unitCode", "wmoUnit:percent"}, {"value", 40}}}};
    return "{\"properties\":{\"periods\":" + array_of(period, document_bytes - 40) +
           "},\"type\":\"Feature\"}";
}

std::string grid_document() {
    nlohmann::json value = {{"validTime", "2026-12-09T12:00:00+00:00/PT1H"}, {"value", 1.5}};
    return "{\"properties\":{\"temperature\":{\"values\":" + array_of(value, document_bytes - 60) +
           "}},\"type\":\"Feature\"}";
}

std::string metar_array() {
    return array_of({{"icaoId", "KSLC"},
                     {"obsTime", 1765296000},
                     {"temp", -1.1},
                     {"dewp", -6.7},
                     {"wdir", 340},
                     {"wspd", 9},
                     {"visib", "10+"},
                     {"rawOb", "METAR KSLC 091554Z 34009KT 10SM FEW060 M01/M07 A3012"},
                     {"lat", 40.7884},
                     {"lon", -111.9778}},
                    document_bytes);
}

std::string path_of(const std::string& url) {
    return url.substr(url.find('/', std::strlen("https://")));
}

struct Case {
    const char* name;
    const char* operation;
    const char* argument;
    int at_once = 1;
};

}  // namespace

long long status_kib(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long long value = 0;
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, std::strlen(field)) == 0) {
            value = std::atoll(line + std::strlen(field));
        }
    }
    if (status) {
        std::fclose(status);
    }
    return value;
}

void reset_resident_peak() {
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (refs) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

int main(int argc, char** argv) {
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    DocumentClient client;
    const std::string hazards = hazard_array();
    const std::string metars = metar_array();
    client.documents[path_of(weather::sigmets_url)] = hazards;
    client.documents[path_of(weather::gairmets_url)] = hazards;
    client.documents[path_of(weather::center_advisories_url)] = hazards;
    client.documents[std::string("/api/data/taf?bbox=") + weather::western_box + "&format=json"] =
        hazards;
    client.documents[std::string("/api/data/metar?bbox=") + weather::western_box + "&format=json"] =
        metars;
    client.documents[path_of(weather::fixed_stations_metar_url)] = "[]";
    client.documents["/gridpoints/SLC/101,174/forecast"] = periods_document();
    const std::string base = "https://api.weather.gov/gridpoints/SLC/101,174";
    client.documents["/points/40.7600,-111.8900"] =
        nlohmann::json({{"properties",
                         {{"forecastHourly", base + "/forecast/hourly"},
                          {"forecastGridData", base},
                          {"observationStations", base + "/stations"}}}})
            .dump();
    client.documents["/gridpoints/SLC/101,174/forecast/hourly"] = periods_document();
    client.documents["/gridpoints/SLC/101,174"] = grid_document();
    client.documents["/gridpoints/SLC/101,174/stations"] =
        R"({"features":[{"id":"https://api.weather.gov/stations/KSLC",)"
        R"("properties":{"name":"Salt Lake City","stationIdentifier":"KSLC"}}]})";
    client.documents["/stations/KSLC/observations/latest"] =
        R"({"properties":{"rawMessage":"METAR KSLC 091554Z 34009KT"}})";
    weather::WeatherService service(
        weather::FetchContext{client, [](std::chrono::milliseconds) {}});

    const Case cases[] = {
        {"hazards", "hazards", ""},
        {"tafs", "tafs", ""},
        {"forecast", "forecast", "SLC/101,174"},
        {"metars", "metars", ""},
        {"point", "point", "40.76,-111.89"},
        {"hazards-x8", "hazards", "", 8},
    };
    std::printf("%-12s %13s %14s %6s %14s %6s\n", "case", "received MiB", "heap peak MiB", "ratio",
                "resident MiB", "ratio");
    for (const Case& c : cases) {
        bool chosen = argc == 1;
        for (int i = 1; i < argc; ++i) {
            chosen = chosen || std::strcmp(argv[i], c.name) == 0;
        }
        if (!chosen) {
            continue;
        }
        long long received = 0;
        for (const auto& [object, body] : client.documents) {
            const std::string op = c.operation;
            const bool used =
                (op == "hazards" && (object.find("airsigmet") != std::string::npos ||
                                     object.find("gairmet") != std::string::npos ||
                                     object.find("cwa") != std::string::npos)) ||
                (op == "tafs" && object.find("/taf") != std::string::npos) ||
                (op == "metars" && object.find("/metar") != std::string::npos) ||
                (op == "forecast" && object == "/gridpoints/SLC/101,174/forecast") ||
                (op == "point" &&
                 (object.starts_with("/points/") || object.starts_with("/stations/") ||
                  (object.starts_with("/gridpoints/") && !object.ends_with("/forecast"))));
            received += used ? static_cast<long long>(body.size()) : 0;
        }
        received *= c.at_once;
        malloc_trim(0);
        const long long start = allocated.load();
        peak = start;
        const long long resident = status_kib("VmRSS:");
        reset_resident_peak();
        std::vector<std::thread> threads;
        std::atomic<int> failures{0};
        for (int i = 0; i < c.at_once; ++i) {
            // Distinct arguments, so none is answered from the cache.
            const std::string argument =
                c.at_once > 1 ? std::string(c.argument) + std::to_string(i) : c.argument;
            threads.emplace_back([&, argument] {
                const weather::Response response = service.run_operation(c.operation, argument);
                failures += response.status != 200;
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        const double mib = 1024.0 * 1024.0;
        const double heap = static_cast<double>(peak.load() - start);
        const double grown = static_cast<double>(status_kib("VmHWM:") - resident) * 1024;
        std::printf("%-12s %13.1f %14.1f %6.2f %14.1f %6.2f%s\n", c.name, received / mib,
                    heap / mib, heap / received, grown / mib, grown / received,
                    failures ? "  (a request failed)" : "");
    }
    return 0;
}
