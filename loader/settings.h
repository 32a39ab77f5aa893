#pragma once

// The overridable settings: their rows and how a value's text is read.

#include <cstdint>
#include <string>
#include <string_view>

namespace loader {

// How a setting's text is read.
enum class SettingKind { text, channel_list, flag };

// Whether reading a row looks for the policy root key again, or trusts the last look.
enum class PolicyRootCheck { check_again, trust_last_check };

// Whether the policy value named "*" counts for a setting.
enum class Wildcard { allowed, refused };

// One row of the overridable settings.
struct SettingRow {
    const wchar_t* variable;
    const wchar_t* policy;
    SettingKind kind;
    PolicyRootCheck policy_root = PolicyRootCheck::trust_last_check;
};

// In the order they are resolved; the older search-kind row only counts when the newer one
// gave nothing.
inline constexpr SettingRow browser_folder_row{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                               L"BrowserExecutableFolder", SettingKind::text,
                                               PolicyRootCheck::check_again};
inline constexpr SettingRow user_data_folder_row{L"WEBVIEW2_USER_DATA_FOLDER", L"UserDataFolder",
                                                 SettingKind::text};
inline constexpr SettingRow release_channels_row{L"WEBVIEW2_RELEASE_CHANNELS", L"ReleaseChannels",
                                                 SettingKind::channel_list};
inline constexpr SettingRow search_kind_row{L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"ChannelSearchKind",
                                            SettingKind::flag};
inline constexpr SettingRow older_search_kind_row{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE",
                                                  L"ReleaseChannelPreference", SettingKind::flag};

// A value found for one setting: `text` for text rows, `channels` for the channel list, `flag`
// for the search-kind rows.
struct OverrideValue {
    std::wstring text;
    std::uint32_t channels = 0;
    bool channels_given = false;
    bool flag = false;
};

// A variable's or policy's text read as a value of `kind`.
OverrideValue value_from_text(std::wstring text, SettingKind kind);

// The mask of the channels a comma-separated list names.
std::uint32_t parse_channel_list(std::wstring_view text);

// Reads text as a signed decimal integer the C way (leading blanks and a sign allowed, stops at
// the first non-digit) and tells whether it is 1.
bool integer_text_is_one(std::wstring_view text);

}  // namespace loader
