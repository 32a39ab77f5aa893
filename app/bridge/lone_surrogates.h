#pragma once

#include <string>
#include <string_view>

namespace bridge {

// `json_text` with every \u escape of a lone UTF-16 surrogate replaced by \uFFFD, the same
// length. A page's JSON.stringify writes a lone surrogate so; the Windows host turns a lone
// UTF-16 unit into U+FFFD before any check, and this reads the escaped form the same way.
// Escaped pairs, other escapes and text that is not JSON are left as they are.
std::string with_lone_surrogates_replaced(std::string_view json_text);

}  // namespace bridge
