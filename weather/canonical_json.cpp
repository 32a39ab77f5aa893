#include "weather/canonical_json.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <vector>

#include <nlohmann/json.hpp>

namespace weather {
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

}  // namespace weather
