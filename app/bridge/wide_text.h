#pragma once

#include <cstddef>
#include <string_view>

namespace bridge {

// A UTF-8 string literal as a wide (UTF-16 on Windows) constant, converted while compiling, so
// a text both hosts use is written once: `inline constexpr WideText title_wide{title};`.
template <std::size_t Bytes>
class WideText {
public:
    consteval WideText(const char (&utf8)[Bytes]) {
        for (std::size_t in = 0; in + 1 < Bytes;) {
            const auto lead = static_cast<unsigned char>(utf8[in]);
            const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
            char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
            for (int i = 1; i <= extra; ++i) {
                code = (code << 6) | (static_cast<unsigned char>(utf8[in + i]) & 0x3F);
            }
            in += 1 + extra;
            if (sizeof(wchar_t) == 2 && code >= 0x10000) {
                code -= 0x10000;
                text[length++] = static_cast<wchar_t>(0xD800 + (code >> 10));
                text[length++] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
            } else {
                text[length++] = static_cast<wchar_t>(code);
            }
        }
    }

    constexpr operator const wchar_t*() const { return text; }
    constexpr std::wstring_view view() const { return {text, length}; }

private:
    wchar_t text[Bytes]{};  // never more units than UTF-8 bytes; zero-terminated
    std::size_t length = 0;
};

}  // namespace bridge
