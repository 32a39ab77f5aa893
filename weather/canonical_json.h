#pragma once

// Every piece of JSON text the weather core handles itself, beside the library's parser and
// serialiser: what the parser must not be given, the serialiser's compact form, the check that a
// text is in it, and the writer that makes it while a document is read.

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace weather {

// Deeper than any real service document by far. Copying, comparing or serialising a JSON value
// walks it recursively, so unbounded nesting could exhaust a thread's stack.
inline constexpr std::size_t max_json_depth = 256;

// Why a text must not reach the JSON parser, which would stop reading at a 0 byte (accepting
// "[]", 0, "garbage" as "[]") and would build values of any depth.
enum class JsonTextFault { none, zero_byte, too_deep };

// Hand-written because no library call refuses such text before the parser has read it; this
// scan runs on every service body and page message before they are parsed.
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

// Hand-written because the library can only tell by parsing and serialising the text again:
// for a 5 MB reply body that took 116 ms against 5.9 ms for this check and the splice (bench/).
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

// Hand-written because the library could join member texts only by parsing them into one value
// and serialising it, each member's megabytes copied twice on the way.
// The compact text of an object from its members' keys and compact texts, given in ascending
// key order without repeats. The largest text's buffer becomes the object's, with the rest
// written around it, so one big member is not copied whole into a buffer of its own.
std::string compact_object(std::vector<std::pair<std::string, std::string>> members);

// Hand-written (on the library's SAX parser) because operations over parsed values of 12 MB
// documents peaked at 6 to 10 times what they received (`hazards` 340 MiB), so 2 times (69 MiB).
// The compact text of the JSON document `text`, written as it is read instead of from a parsed
// value, holding little more than the text it writes. Throws the JSON library's exceptions, as
// parsing `text` would (depth is bounded by the caller, see json_text_fault).
CompactDocument compact_document(std::string_view text, const CompactOptions& options = {});
// `size_hint`: about how long the text is, so that a large array can take its room at once.
CompactDocument compact_document(std::istream& text, const CompactOptions& options = {},
                                 std::size_t size_hint = 0);

}  // namespace weather
