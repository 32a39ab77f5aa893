#include "weather/text.h"

namespace weather {

void JsonTextScanner::feed(std::string_view piece) {
    for (const char c : piece) {
        if (found != JsonTextFault::none) {
            return;
        }
        if (c == '\0') {
            found = JsonTextFault::zero_byte;
        } else if (in_string) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > max_json_depth) {
                found = JsonTextFault::too_deep;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
}

JsonTextFault json_text_fault(std::string_view text) {
    JsonTextScanner scanner;
    scanner.feed(text);
    return scanner.fault();
}

std::string to_compact_json(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

}  // namespace weather
