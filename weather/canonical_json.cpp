#include "weather/canonical_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

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

namespace {

// Bytes that stand for themselves inside a string: printable ASCII but the quote and backslash.
constexpr std::array<bool, 256> plain_string_bytes = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) {
        plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    }
    return plain;
}();

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_lower_hex(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f');
}

int hex_value(char c) {
    return is_digit(c) ? c - '0' : c - 'a' + 10;
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    bool at_end() const { return at == end; }
    bool next_is(char c) const { return at != end && *at == c; }
    bool take(char c) {
        if (!next_is(c)) {
            return false;
        }
        ++at;
        return true;
    }
    bool take(std::string_view word) {
        if (static_cast<std::size_t>(end - at) < word.size() ||
            std::string_view(at, word.size()) != word) {
            return false;
        }
        at += word.size();
        return true;
    }
    char peek() const { return *at; }

    // A string from its opening quote on, written as the serialiser writes strings: raw UTF-8,
    // and escapes only for the quote, the backslash and control characters (\b \f \n \r \t,
    // else \u00xx in lower case). `contents` receives the text between the quotes and
    // `escaped` whether it held any escape.
    bool string(std::string_view& contents, bool& escaped) {
        const char* start = ++at;
        escaped = false;
        for (;;) {
            while (at != end && plain_string_bytes[static_cast<unsigned char>(*at)]) {
                ++at;
            }
            if (at == end) {
                return false;
            }
            const auto byte = static_cast<unsigned char>(*at);
            if (byte == '"') {
                contents = std::string_view(start, static_cast<std::size_t>(at - start));
                ++at;
                return true;
            }
            if (byte == '\\') {
                escaped = true;
                if (!escape()) {
                    return false;
                }
            } else if (byte < 0x20 || !utf8_sequence()) {
                return false;
            }
        }
    }

    // A number as the serialiser writes the value it reads as: integers without "-0" and
    // within the 64-bit ranges, floating-point numbers in their shortest round-trip form.
    bool number() {
        const char* start = at;
        take('-');
        if (!take('0') && !digits()) {
            return false;
        }
        bool floating = false;
        if (take('.')) {
            floating = true;
            if (!digits()) {
                return false;
            }
        }
        if (at != end && (*at == 'e' || *at == 'E')) {
            floating = true;
            ++at;
            if (!take('+')) {
                take('-');
            }
            if (!digits()) {
                return false;
            }
        }
        const std::string_view token(start, static_cast<std::size_t>(at - start));
        return floating ? canonical_float(token) : canonical_integer(token);
    }

private:
    bool escape() {
        if (end - at < 2) {
            return false;
        }
        switch (at[1]) {
            case '"':
            case '\\':
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't':
                at += 2;
                return true;
            case 'u':
                break;
            default:
                return false;
        }
        if (end - at < 6 || at[2] != '0' || at[3] != '0' || !is_lower_hex(at[4]) ||
            !is_lower_hex(at[5])) {
            return false;
        }
        const int code = hex_value(at[4]) * 16 + hex_value(at[5]);
        // The serialiser writes \u only for control characters without a short escape.
        if (code >= 0x20 || code == '\b' || code == '\t' || code == '\n' || code == '\f' ||
            code == '\r') {
            return false;
        }
        at += 6;
        return true;
    }

    // One well-formed multi-byte UTF-8 sequence (no overlong forms, surrogates or code points
    // above U+10FFFF).
    bool utf8_sequence() {
        const auto lead = static_cast<unsigned char>(*at);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - at) < length) {
            return false;
        }
        const auto second = static_cast<unsigned char>(at[1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t i = 2; i < length; ++i) {
            if ((static_cast<unsigned char>(at[i]) & 0xC0) != 0x80) {
                return false;
            }
        }
        at += length;
        return true;
    }

    bool digits() {
        const char* start = at;
        while (at != end && is_digit(*at)) {
            ++at;
        }
        return at != start;
    }

    // Integers the parser keeps as integers: within int64 when negative, uint64 otherwise.
    static bool canonical_integer(std::string_view token) {
        if (token == "-0") {
            return false;
        }
        const bool negative = token.front() == '-';
        const std::string_view digits = negative ? token.substr(1) : token;
        const std::string_view limit = negative ? "9223372036854775808" : "18446744073709551615";
        return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
    }

    // Read as the parser reads it (correctly rounded) and written again with the serialiser's
    // own float formatting, so the comparison is exact.
    static bool canonical_float(std::string_view token) {
        double value = 0;
        const auto [read_end, error] =
            std::from_chars(token.data(), token.data() + token.size(), value);
        if (error != std::errc() || read_end != token.data() + token.size()) {
            return false;
        }
        std::array<char, 64> written;
        const char* written_end =
            nlohmann::detail::to_chars(written.data(), written.data() + written.size(), value);
        return std::string_view(written.data(),
                                static_cast<std::size_t>(written_end - written.data())) == token;
    }

    const char* at;
    const char* end;
};

struct Container {
    bool object = false;
    bool has_key = false;
    std::string_view last_key;
};

}  // namespace

bool is_canonical_json(std::string_view text) {
    Scanner scanner(text);
    std::vector<Container> open;
    enum class Expect { value, key, after_value } expect = Expect::value;
    for (;;) {
        switch (expect) {
            case Expect::value: {
                if (scanner.at_end()) {
                    return false;
                }
                const char c = scanner.peek();
                if (c == '{' || c == '[') {
                    scanner.take(c);
                    if (scanner.take(c == '{' ? '}' : ']')) {
                        expect = Expect::after_value;
                    } else {
                        open.push_back(Container{c == '{', false, {}});
                        expect = c == '{' ? Expect::key : Expect::value;
                    }
                    break;
                }
                std::string_view contents;
                bool escaped = false;
                const bool valid = c == '"'   ? scanner.string(contents, escaped)
                                   : c == 't' ? scanner.take("true")
                                   : c == 'f' ? scanner.take("false")
                                   : c == 'n' ? scanner.take("null")
                                              : scanner.number();
                if (!valid) {
                    return false;
                }
                expect = Expect::after_value;
                break;
            }
            case Expect::key: {
                std::string_view key;
                bool escaped = false;
                if (!scanner.next_is('"') || !scanner.string(key, escaped) || escaped) {
                    return false;  // escaped keys would need decoding to be ordered
                }
                Container& object = open.back();
                if (object.has_key && !(object.last_key < key)) {
                    return false;
                }
                object.has_key = true;
                object.last_key = key;
                if (!scanner.take(':')) {
                    return false;
                }
                expect = Expect::value;
                break;
            }
            case Expect::after_value: {
                if (open.empty()) {
                    return scanner.at_end();
                }
                if (scanner.take(',')) {
                    expect = open.back().object ? Expect::key : Expect::value;
                } else if (scanner.take(open.back().object ? '}' : ']')) {
                    open.pop_back();
                } else {
                    return false;
                }
                break;
            }
        }
    }
}

namespace {

// Writes each value as the serialiser would once the document is read: scalars through the
// serialiser itself, arrays in order, object members in ascending key order with the last of
// equal keys kept, as the parsed value keeps them. Probes and added members are followed with
// one bit each per open container: the set of paths this container lies on.
class CompactWriter : public nlohmann::json::json_sax_t {
public:
    CompactWriter(const CompactOptions& options, std::size_t size_hint)
        : options(options), size_hint(size_hint) {
        if (options.probes.size() > 32 || options.additions.size() > 32) {
            throw std::invalid_argument("at most 32 probes and 32 added members");
        }
        document.found.resize(options.probes.size());
    }

    CompactDocument document;

    bool null() override { return put_scalar(nullptr); }
    bool boolean(bool value) override { return put_scalar(value); }
    bool number_integer(number_integer_t value) override { return put_scalar(value); }
    bool number_unsigned(number_unsigned_t value) override { return put_scalar(value); }
    bool number_float(number_float_t value, const string_t&) override { return put_scalar(value); }
    bool string(string_t& value) override { return put_scalar(std::move(value)); }
    bool binary(binary_t&) override { return false; }  // not in JSON text

    bool start_object(std::size_t) override {
        Frame frame = begin_container();
        frame.object = true;
        open.push_back(std::move(frame));
        return true;
    }
    bool key(string_t& name) override {
        open.back().key = std::move(name);
        return true;
    }
    bool end_object() override {
        Frame frame = std::move(open.back());
        open.pop_back();
        auto& members = frame.members;
        for (std::size_t i = 0; i < options.additions.size(); ++i) {
            if (frame.adding_here & (1u << i)) {
                members.emplace_back(options.additions[i].key, options.additions[i].value);
            }
        }
        std::stable_sort(members.begin(), members.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<Member> kept;
        for (auto& member : members) {
            if (!kept.empty() && kept.back().first == member.first) {
                kept.back().second = std::move(member.second);
            } else {
                kept.push_back(std::move(member));
            }
        }
        if (open.empty()) {
            for (const auto& member : kept) {
                document.keys.push_back(member.first);
            }
        }
        std::string text = compact_object(std::move(kept));
        return put(std::move(text), nlohmann::json::value_t::object, frame.found_here);
    }
    bool start_array(std::size_t) override {
        Frame frame = begin_container();
        frame.text = "[";
        open.push_back(std::move(frame));
        return true;
    }
    bool end_array() override {
        const bool split_root = splits_elements() && open.size() == 1;
        Frame frame = std::move(open.back());
        open.pop_back();
        if (split_root) {
            document.kind = nlohmann::json::value_t::array;
            return true;  // its elements went to on_element
        }
        std::string text = std::move(frame.text);
        text += ']';
        return put(std::move(text), nlohmann::json::value_t::array, frame.found_here);
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;  // compact_document reports it
    }

private:
    using Member = std::pair<std::string, std::string>;
    using Mask = std::uint32_t;
    struct Frame {
        bool object = false;
        std::string text;             // an array's elements so far
        std::vector<Member> members;  // an object's members so far
        std::string key;
        std::size_t count = 0;  // elements or members so far
        // Probes and added members whose paths run through this container, and those that
        // name it.
        Mask probing = 0;
        Mask adding = 0;
        Mask found_here = 0;
        Mask adding_here = 0;
    };

    // Where the value about to start lies relative to the probes' paths.
    struct Place {
        Mask probing = 0;     // probes that run on through it
        Mask found_here = 0;  // probes that name it
        Mask adding = 0;
        Mask adding_here = 0;
    };

    bool splits_elements() const {
        return static_cast<bool>(options.on_element) && !open.empty() && !open.front().object;
    }

    // Frames above the document the probes are relative to: the root array when it is split.
    std::size_t base_depth() const { return splits_elements() ? 1 : 0; }

    static bool same_step(const PathStep& step, const Frame& parent) {
        return parent.object ? step.index == PathStep::no_index && step.key == parent.key
                             : step.index == parent.count;
    }

    template <typename Target, typename PathOf>
    static void match(const std::vector<Target>& targets, PathOf path_of, Mask through,
                      std::size_t depth, const Frame& parent, Mask& on, Mask& here) {
        for (std::size_t i = 0; through != 0 && i < targets.size(); ++i) {
            const Mask bit = Mask{1} << i;
            if (!(through & bit)) {
                continue;
            }
            const JsonPath& path = path_of(targets[i]);
            if (path.size() < depth || !same_step(path[depth - 1], parent)) {
                continue;
            }
            (path.size() == depth ? here : on) |= bit;
        }
    }

    Place place_of_next_value() {
        Place place;
        const std::size_t base = base_depth();
        if (open.size() < base) {
            return place;
        }
        const Mask all_probes = static_cast<Mask>((std::uint64_t{1} << options.probes.size()) - 1);
        const Mask all_additions =
            static_cast<Mask>((std::uint64_t{1} << options.additions.size()) - 1);
        if (open.size() == base) {  // the root of a document
            place.probing = all_probes;
            place.adding = all_additions;
            return place;
        }
        const Frame& parent = open.back();
        if ((parent.probing | parent.adding) == 0) {
            return place;
        }
        const std::size_t depth = open.size() - base;
        match(
            options.probes, [](const Probe& p) -> const JsonPath& { return p.path; },
            parent.probing, depth, parent, place.probing, place.found_here);
        match(
            options.additions, [](const AddedMember& a) -> const JsonPath& { return a.object; },
            parent.adding, depth, parent, place.adding, place.adding_here);
        // A later value at a path replaces the earlier one, and whatever was found inside it.
        for (std::size_t i = 0; i < options.probes.size(); ++i) {
            if ((place.probing | place.found_here) & (Mask{1} << i)) {
                document.found[i] = FoundValue{};
            }
        }
        return place;
    }

    Frame begin_container() {
        const Place place = place_of_next_value();
        Frame frame;
        frame.probing = place.probing;
        frame.adding = place.adding;
        frame.found_here = place.found_here;
        frame.adding_here = place.adding_here;
        return frame;
    }

    template <typename Scalar>
    bool put_scalar(Scalar&& value) {
        const Mask found_here = place_of_next_value().found_here;
        const nlohmann::json scalar(std::forward<Scalar>(value));
        return put(to_compact_json(scalar), scalar.type(), found_here);
    }

    bool put(std::string text, nlohmann::json::value_t kind, Mask found_here) {
        for (std::size_t i = 0; found_here != 0 && i < options.probes.size(); ++i) {
            if (found_here & (Mask{1} << i)) {
                const bool scalar = kind != nlohmann::json::value_t::object &&
                                    kind != nlohmann::json::value_t::array;
                document.found[i] =
                    FoundValue{kind, scalar || options.probes[i].keep_text ? text : std::string()};
            }
        }
        if (open.empty()) {
            document.text = std::move(text);
            document.kind = kind;
            return true;
        }
        Frame& frame = open.back();
        if (splits_elements() && open.size() == 1) {
            CompactDocument element{std::move(text), kind, {}, std::move(document.found)};
            document.found.assign(options.probes.size(), FoundValue{});
            options.on_element(std::move(element));
        } else if (frame.object) {
            frame.members.emplace_back(std::move(frame.key), std::move(text));
        } else {
            std::string& joined = frame.text;
            const std::size_t needed = joined.size() + 1 + text.size();
            // A large array takes the room of the whole document once, instead of copying
            // itself at every doubling; pages of that room not written are never touched.
            if (needed > joined.capacity() && joined.size() >= large_text_bytes &&
                size_hint > needed) {
                joined.reserve(size_hint);
            }
            if (frame.count > 0) {
                joined += ',';
            }
            joined += text;
        }
        ++frame.count;
        return true;
    }

    static constexpr std::size_t large_text_bytes = 1 << 20;

    const CompactOptions& options;
    const std::size_t size_hint;
    std::vector<Frame> open;
};

}  // namespace

std::string compact_object(std::vector<std::pair<std::string, std::string>> members) {
    if (members.empty()) {
        return "{}";
    }
    std::size_t largest = 0;
    std::size_t total = 1;
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (members[i].second.size() > members[largest].second.size()) {
            largest = i;
        }
        keys.push_back(to_compact_json(members[i].first));
        total += keys.back().size() + 2 + members[i].second.size();
    }
    // The largest text grows once to the whole object; every other text is given back as
    // soon as it is written.
    std::string text = std::move(members[largest].second);
    text.reserve(total);
    std::string before = "{";
    for (std::size_t i = 0; i < largest; ++i) {
        before.append(keys[i]).append(1, ':').append(members[i].second).append(1, ',');
        std::string().swap(members[i].second);
    }
    before.append(keys[largest]).append(1, ':');
    text.insert(0, before);
    for (std::size_t i = largest + 1; i < members.size(); ++i) {
        text.append(1, ',').append(keys[i]).append(1, ':').append(members[i].second);
        std::string().swap(members[i].second);
    }
    text += '}';
    return text;
}

namespace {

template <typename Input>
CompactDocument compact_document_of(Input&& input, const CompactOptions& options,
                                    std::size_t size_hint) {
    CompactWriter writer(options, size_hint);
    if (!nlohmann::json::sax_parse(std::forward<Input>(input), &writer)) {
        throw nlohmann::json::parse_error::create(101, 0, "not one JSON document", nullptr);
    }
    return std::move(writer.document);
}

}  // namespace

CompactDocument compact_document(std::string_view text, const CompactOptions& options) {
    return compact_document_of(text, options, text.size());
}

CompactDocument compact_document(std::istream& text, const CompactOptions& options,
                                 std::size_t size_hint) {
    return compact_document_of(text, options, size_hint);
}

}  // namespace weather
