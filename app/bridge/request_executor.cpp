#include "app/bridge/request_executor.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "base/unicode.h"

namespace bridge {

template <>
// By value as the template declares it: the UTF-8 form hands its text on without a copy.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
std::u16string encode_reply<std::u16string>(std::string utf8) {
    std::optional<std::u16string> utf16 = base::utf8_to_utf16(utf8);
    if (!utf16) {
        throw std::runtime_error("A reply is not UTF-8");
    }
    return std::move(*utf16);
}

template <>
std::string encode_reply<std::string>(std::string utf8) {
    return utf8;
}

}  // namespace bridge
