#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace weather {

// Deeper than any real service document by far. Copying, comparing or serialising a JSON value
// walks it recursively, so unbounded nesting could exhaust a thread's stack.
inline constexpr std::size_t max_json_depth = 256;

// Why a text must not reach the JSON parser, which would stop reading at a 0 byte (accepting
// "[]", 0, "garbage" as "[]") and would build values of any depth.
enum class JsonTextFault { none, zero_byte, too_deep };

// Scans `text` without parsing it: a 0 byte anywhere, or arrays and objects nested more than
// max_json_depth levels (brackets inside strings do not count). Linear, allocates nothing.
JsonTextFault json_text_fault(std::string_view text);

// json_text_fault for a text that arrives in pieces: feed each piece in order, then ask fault().
class JsonTextScanner {
public:
    void feed(std::string_view piece);
    JsonTextFault fault() const { return found; }

private:
    std::size_t depth = 0;
    bool in_string = false;
    bool escaped = false;
    JsonTextFault found = JsonTextFault::none;
};

// Compact JSON text: no whitespace, sorted keys, raw UTF-8, invalid UTF-8 refused
// (throws nlohmann::json::type_error).
std::string to_compact_json(const nlohmann::json& value);

}  // namespace weather
