#pragma once

#include <string_view>

namespace weather {

// True when `text` is byte for byte what to_compact_json writes for the JSON value it holds:
// one value without whitespace, object keys strictly ascending and free of escapes, numbers
// and string escapes in the serialiser's own form. False for anything else, valid JSON or not,
// so a caller can take such text as it is and fall back to parsing otherwise.
bool is_canonical_json(std::string_view text);

}  // namespace weather
