#include "loader/settings.h"

#include <cwctype>
#include <limits>

#include "loader/environment_request.h"

namespace loader {

OverrideValue value_from_text(std::wstring text, SettingKind kind) {
    OverrideValue value;
    switch (kind) {
        case SettingKind::text:
            value.text = std::move(text);
            break;
        case SettingKind::channel_list:
            // An empty list (only a variable can give one) sets nothing.
            if (!text.empty()) {
                value.channels = parse_channel_list(text);
                value.channels_given = true;
            }
            break;
        case SettingKind::flag:
            value.flag = integer_text_is_one(text);
            break;
    }
    return value;
}

bool integer_text_is_one(std::wstring_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::iswspace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
        negative = text[at] == L'-';
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + (text[at] - L'0');
        if (value > std::numeric_limits<std::int32_t>::max()) {
            return false;  // out of range: never 1
        }
    }
    return !negative && value == 1;
}

std::uint32_t parse_channel_list(std::wstring_view text) {
    std::uint32_t mask = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L',', start);
        if (end == std::wstring_view::npos) {
            end = text.size();
        }
        std::wstring_view piece = text.substr(start, end - start);
        while (!piece.empty() && std::iswspace(piece.front())) {
            piece.remove_prefix(1);
        }
        while (!piece.empty() && std::iswspace(piece.back())) {
            piece.remove_suffix(1);
        }
        if (!piece.empty()) {
            std::int32_t number = 0;
            bool only_digits = true;
            for (const wchar_t c : piece) {
                if (c < L'0' || c > L'9') {
                    only_digits = false;
                    break;
                }
                const int digit = c - L'0';
                // A digit that would overflow is ignored; the number keeps what it had.
                if (number <= (std::numeric_limits<std::int32_t>::max() - digit) / 10) {
                    number = number * 10 + digit;
                }
            }
            // Anything but a channel's number means Stable.
            mask |= (only_digits && number < static_cast<std::int32_t>(channel_count))
                        ? (1u << number)
                        : 1u;
        }
        start = end + 1;
    }
    return mask;
}

}  // namespace loader
