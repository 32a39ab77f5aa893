#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// A UTF-8 string literal converted while compiling to UTF-16 (char16_t) or to wide characters
// (wchar_t, UTF-16 on Windows), so a text needed in two forms is written once:
//   inline constexpr char user_agent[] = "...";
//   inline constexpr auto user_agent_utf16 = utf16_text(user_agent);
// It converts to a zero-terminated pointer and compares equal to a string of the same text.
template <typename Char, std::size_t Bytes>
class ConstantText {
public:
    consteval explicit ConstantText(const char (&utf8)[Bytes]) {
        for (std::size_t in = 0; in + 1 < Bytes;) {
            const auto lead = static_cast<unsigned char>(utf8[in]);
            const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
            char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
            for (int i = 1; i <= extra; ++i) {
                code = (code << 6) | (static_cast<unsigned char>(utf8[in + i]) & 0x3F);
            }
            in += 1 + extra;
            if (sizeof(Char) == 2 && code >= 0x10000) {
                code -= 0x10000;
                text[length++] = static_cast<Char>(0xD800 + (code >> 10));
                text[length++] = static_cast<Char>(0xDC00 + (code & 0x3FF));
            } else {
                text[length++] = static_cast<Char>(code);
            }
        }
    }

    constexpr operator const Char*() const { return text; }
    constexpr std::basic_string_view<Char> view() const { return {text, length}; }

    friend bool operator==(const std::basic_string<Char>& string, const ConstantText& constant) {
        return std::basic_string_view<Char>(string) == constant.view();
    }

private:
    Char text[Bytes]{};  // never more units than UTF-8 bytes; zero-terminated
    std::size_t length = 0;
};

template <std::size_t Bytes>
consteval ConstantText<char16_t, Bytes> utf16_text(const char (&utf8)[Bytes]) {
    return ConstantText<char16_t, Bytes>(utf8);
}

template <std::size_t Bytes>
consteval ConstantText<wchar_t, Bytes> wide_text(const char (&utf8)[Bytes]) {
    return ConstantText<wchar_t, Bytes>(utf8);
}

}  // namespace base
