#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace weather {

// True when `text` is byte for byte what to_compact_json writes for the JSON value it holds:
// one value without whitespace, object keys strictly ascending and free of escapes, numbers
// and string escapes in the serialiser's own form. False for anything else, valid JSON or not,
// so a caller can take such text as it is and fall back to parsing otherwise.
bool is_canonical_json(std::string_view text);

// One JSON document as compact text, with what the operations check of its form.
struct CompactDocument {
    std::string text;               // byte for byte what to_compact_json(parse(...)) writes
    nlohmann::json::value_t kind;   // of the whole document
    std::vector<std::string> keys;  // of the whole document when it is an object, ascending
};

// The compact text of the JSON document `text`, written as it is read instead of from a parsed
// value: for a document of megabytes the parsed value takes several times its size, while this
// holds little more than the text it writes. Throws the JSON library's exceptions, as parsing
// `text` would (depth is bounded by the caller, see json_text_fault).
CompactDocument compact_document(std::string_view text);
CompactDocument compact_document(std::istream& text);

}  // namespace weather
