#include "app/bridge/json_text.h"

#include <optional>
#include <utility>

#include "weather/canonical_json.h"

namespace bridge {
namespace {

// The code unit of a \uXXXX escape starting at `at`, if there is one.
std::optional<unsigned> escaped_unit(std::string_view text, std::size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') {
        return std::nullopt;
    }
    unsigned unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return unit;
}

bool is_high(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

nlohmann::json make_reply(nlohmann::json id, int status, nlohmann::json body) {
    return {{"body", std::move(body)}, {"id", std::move(id)}, {"status", status}};
}

std::string reply_json_text(const nlohmann::json& reply) {
    return weather::to_compact_json(reply);
}

std::string spliced_reply_text(std::string body, const nlohmann::json& id, int status) {
    // The keys in the order the serialiser sorts them: body, id, status. Written around the body
    // in its own buffer, which the service's copies leave room for (weather::copy_with_room), so
    // a body of megabytes is not copied again beside the cache's.
    std::string text = std::move(body);
    text.insert(0, "{\"body\":");
    text.append(",\"id\":").append(weather::to_compact_json(id));
    text.append(",\"status\":").append(std::to_string(status)).append("}");
    return text;
}

std::string with_lone_surrogates_replaced(std::string_view json_text) {
    std::string text(json_text);
    std::size_t at = 0;
    while ((at = text.find('\\', at)) != std::string::npos) {
        const std::optional<unsigned> unit = escaped_unit(text, at);
        if (!unit) {
            at += 2;  // another escape, "\\" above all: its second character is no escape
            continue;
        }
        if (is_high(*unit)) {
            const std::optional<unsigned> next = escaped_unit(text, at + 6);
            if (next && is_low(*next)) {
                at += 12;  // a pair
                continue;
            }
        }
        if (is_high(*unit) || is_low(*unit)) {
            text.replace(at + 2, 4, "FFFD");
        }
        at += 6;
    }
    return text;
}

}  // namespace bridge
