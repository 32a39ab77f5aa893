#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "loader/environment_request.h"
#include "loader/system_functions.h"

namespace loader {

inline constexpr wchar_t policy_root[] = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";

// How a setting's text is read.
enum class SettingKind { text, channel_list, flag };

// One row of the overridable settings.
struct SettingRow {
    const wchar_t* variable;
    const wchar_t* policy;
    SettingKind kind;
};

// A value found for one setting: `text` for text rows, `channels` for the channel list, `flag`
// for the search-kind rows.
struct OverrideValue {
    std::wstring text;
    std::uint32_t channels = 0;
    bool channels_given = false;
    bool flag = false;
};

// Applies environment variables and group policy to `request` in the settings order; the texts
// the request then points to live in `strings`. Never fails: what is absent keeps its value.
void resolve_overrides(EnvironmentRequest& request, OverrideStrings& strings);

// One row of the settings: the variable (unless elevated), else the machine and then the user
// policy (the user one unless elevated). Empty when nothing was found.
std::optional<OverrideValue> read_override(const SettingRow& row, bool first_row,
                                           bool wildcard_refused);

// The policy value of `row` under `root`, looked up by the names of policy_value_names.
std::optional<OverrideValue> read_policy(HKEY root, const SettingRow& row, bool wildcard_refused);

// One policy value of the kind of `row`.
std::optional<OverrideValue> read_policy_value(HKEY key, const wchar_t* name, SettingKind kind);

// The value names tried under a policy key, in order: the application user model ID and the
// executable's file name (each only when not empty), then "*" unless refused.
std::vector<std::wstring> policy_value_names(const std::wstring& app_id,
                                             const std::wstring& exe_name, bool wildcard_refused);

// ORs the channels named by a comma-separated list into `mask`.
void parse_channel_list(std::wstring_view text, std::uint32_t& mask);

// Reads text as a signed decimal integer the C way (leading blanks and a sign allowed, stops at
// the first non-digit) and tells whether it is 1.
bool integer_text_is_one(std::wstring_view text);

// Whether the caller's options ask for the Edge browser itself.
bool options_use_edge_view(ICoreWebView2EnvironmentOptions* options);

// Completes the channel settings that no variable or policy gave from the caller's options.
void apply_option_channels(ICoreWebView2EnvironmentOptions* options, EnvironmentRequest& request);

// The value of an environment variable; empty when it does not exist (an existing empty variable
// gives an empty text).
std::optional<std::wstring> environment_variable(const wchar_t* name);

// Whether the policy root key was present at the last look; process-wide.
bool policy_root_present();

// The application user model ID, empty when the process has none.
std::wstring app_user_model_id();
std::wstring app_user_model_id_from(const AppIdFunctions& functions);

// The executable's file name (after the last backslash); empty when unreadable.
std::wstring exe_file_name();

// The full path of the executable; a failure HRESULT when it cannot be read.
[[nodiscard]] HRESULT module_file_name(std::wstring& name);

}  // namespace loader
