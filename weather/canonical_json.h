#pragma once

#include <functional>
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

// One step into a document: the member `key` of an object, or, when `index` is set, the element
// at that position of an array.
struct PathStep {
    std::string key;
    std::size_t index = no_index;
    static constexpr std::size_t no_index = static_cast<std::size_t>(-1);
};
using JsonPath = std::vector<PathStep>;
inline PathStep element(std::size_t index) {
    return PathStep{{}, index};
}

// What a compact pass found at a path: the kind of the value the parsed document would hold
// there (discarded when it holds none), and its compact text: always for a scalar, for an array
// or object only when asked for, since that may be most of the document.
struct FoundValue {
    nlohmann::json::value_t kind = nlohmann::json::value_t::discarded;
    std::string text;
};

// A value looked for while the document is written.
struct Probe {
    JsonPath path;
    bool keep_text = false;
};

// A member written into the object at `object` (when the document has an object there) after
// its own members, so it replaces one of the same key, as assigning it in the parsed value would.
struct AddedMember {
    JsonPath object;
    std::string key;
    std::string value;  // compact JSON text
};

// One JSON document as compact text, with what the operations check of its form.
struct CompactDocument {
    std::string text;               // byte for byte what to_compact_json(parse(...)) writes
    nlohmann::json::value_t kind;   // of the whole document
    std::vector<std::string> keys;  // of the whole document when it is an object, ascending
    std::vector<FoundValue> found;  // one per probe asked for, in their order
};

// What else a compact pass does while it writes (at most 32 probes and 32 added members).
struct CompactOptions {
    std::vector<Probe> probes;
    std::vector<AddedMember> additions;
    // When set and the document is an array, each element is handed here as a document of its
    // own (probes and additions relative to it; no keys) instead of joining the text, which
    // stays empty.
    std::function<void(CompactDocument&&)> on_element;
};

// The compact text of an object from its members' keys and compact texts, given in ascending
// key order without repeats. The largest text's buffer becomes the object's, with the rest
// written around it, so one big member is not copied whole into a buffer of its own.
std::string compact_object(std::vector<std::pair<std::string, std::string>> members);

// The compact text of the JSON document `text`, written as it is read instead of from a parsed
// value: for a document of megabytes the parsed value takes several times its size, while this
// holds little more than the text it writes. Throws the JSON library's exceptions, as parsing
// `text` would (depth is bounded by the caller, see json_text_fault).
CompactDocument compact_document(std::string_view text, const CompactOptions& options = {});
// `size_hint`: about how long the text is, so that a large array can take its room at once.
CompactDocument compact_document(std::istream& text, const CompactOptions& options = {},
                                 std::size_t size_hint = 0);

}  // namespace weather
