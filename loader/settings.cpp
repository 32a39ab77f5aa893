#include "loader/settings.h"

#include <atomic>
#include <cwctype>
#include <limits>
#include <memory>

#include <objbase.h>

#include "loader/downgrade_policy.h"
#include "loader/elevation.h"
#include "loader/option_interfaces.h"
#include "loader/registry.h"
#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace loader {
namespace {

constexpr SettingRow browser_folder_row{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                        L"BrowserExecutableFolder", SettingKind::text};
constexpr SettingRow user_data_folder_row{L"WEBVIEW2_USER_DATA_FOLDER", L"UserDataFolder",
                                          SettingKind::text};
constexpr SettingRow release_channels_row{L"WEBVIEW2_RELEASE_CHANNELS", L"ReleaseChannels",
                                          SettingKind::channel_list};
constexpr SettingRow search_kind_row{L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"ChannelSearchKind",
                                     SettingKind::flag};
constexpr SettingRow older_search_kind_row{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE",
                                           L"ReleaseChannelPreference", SettingKind::flag};

// Shared by every entry call; it only decides whether policy keys are read at all.
std::atomic<bool> policy_root_flag{true};

bool policy_root_exists(HKEY root) {
    return static_cast<bool>(open_key(root, policy_root, KEY_READ));
}

OverrideValue value_from_text(std::wstring text, SettingKind kind) {
    OverrideValue value;
    switch (kind) {
        case SettingKind::text:
            value.text = std::move(text);
            break;
        case SettingKind::channel_list:
            // An empty list (only a variable can give one) sets nothing.
            if (!text.empty()) {
                parse_channel_list(text, value.channels);
                value.channels_given = true;
            }
            break;
        case SettingKind::flag:
            value.flag = integer_text_is_one(text);
            break;
    }
    return value;
}

}  // namespace

std::optional<std::wstring> environment_variable(const wchar_t* name) {
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length =
            GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::wstring();
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.assign(length, L'\0');  // length counts the terminator here
    }
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

void parse_channel_list(std::wstring_view text, std::uint32_t& mask) {
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
            mask |= (only_digits && number < 5) ? (1u << number) : 1u;
        }
        start = end + 1;
    }
}

std::vector<std::wstring> policy_value_names(const std::wstring& app_id,
                                             const std::wstring& exe_name, bool wildcard_refused) {
    // An empty name would address the key's default value, which no administrator meant here.
    std::vector<std::wstring> names;
    if (!app_id.empty()) {
        names.push_back(app_id);
    }
    if (!exe_name.empty()) {
        names.push_back(exe_name);
    }
    if (!wildcard_refused) {
        names.emplace_back(L"*");
    }
    return names;
}

std::optional<OverrideValue> read_policy_value(HKEY key, const wchar_t* name, SettingKind kind) {
    switch (kind) {
        case SettingKind::text:
            if (auto text = get_string_value(key, name)) {
                return value_from_text(std::move(*text), kind);
            }
            return std::nullopt;
        case SettingKind::channel_list:
            if (auto text = get_string_value(key, name); text && !text->empty()) {
                return value_from_text(std::move(*text), kind);
            }
            return std::nullopt;
        case SettingKind::flag:
            if (const auto number = get_dword_value(key, name)) {
                OverrideValue value;
                value.flag = *number == 1;
                return value;
            }
            if (auto text = get_string_value(key, name)) {
                return value_from_text(std::move(*text), kind);
            }
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<OverrideValue> read_policy(HKEY root, const SettingRow& row, bool wildcard_refused) {
    const std::wstring path = std::wstring(policy_root) + row.policy;
    const auto key = open_key(root, path.c_str(), KEY_QUERY_VALUE);
    if (!key) {
        return std::nullopt;
    }
    for (const auto& name :
         policy_value_names(app_user_model_id(), exe_file_name(), wildcard_refused)) {
        if (auto value = read_policy_value(key.get(), name.c_str(), row.kind)) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<OverrideValue> read_override(const SettingRow& row, bool first_row,
                                           bool wildcard_refused) {
    const bool elevated = process_is_elevated();
    if (!elevated) {
        if (auto text = environment_variable(row.variable)) {
            return value_from_text(std::move(*text), row.kind);
        }
    }
    if (!first_row && !policy_root_flag.load()) {
        return std::nullopt;
    }
    const bool present = policy_root_exists(HKEY_LOCAL_MACHINE) ||
                         (!elevated && policy_root_exists(HKEY_CURRENT_USER));
    policy_root_flag.store(present);
    if (!present) {
        return std::nullopt;
    }
    if (auto value = read_policy(HKEY_LOCAL_MACHINE, row, wildcard_refused)) {
        return value;
    }
    if (!elevated) {
        return read_policy(HKEY_CURRENT_USER, row, wildcard_refused);
    }
    return std::nullopt;
}

bool policy_root_present() {
    return policy_root_flag.load();
}

void resolve_overrides(EnvironmentRequest& request, OverrideStrings& strings) {
    policy_root_flag.store(true);
    if (auto value = read_override(browser_folder_row, true, false)) {
        strings.browser_folder = std::move(value->text);
        request.browser_folder = strings.browser_folder.c_str();
    }

    apply_downgrade_policy(request, strings);

    if (auto value = read_override(user_data_folder_row, false, true)) {
        strings.user_data_folder = std::move(value->text);
        request.user_data_folder = strings.user_data_folder.c_str();
    }

    // Read even when elevated: it only chooses between two installed browsers.
    if (const auto edge = environment_variable(L"WEBVIEW2_USE_EDGE_VIEW")) {
        request.use_edge_view = *edge == L"1";
    }

    if (const auto value = read_override(release_channels_row, false, request.use_edge_view);
        value && value->channels_given) {
        request.release_channels |= value->channels;
        request.release_channels_given = true;
    }

    auto search_kind = read_override(search_kind_row, false, request.use_edge_view);
    if (!search_kind) {
        search_kind = read_override(older_search_kind_row, false, request.use_edge_view);
    }
    if (search_kind) {
        request.channel_search_kind = search_kind->flag ? 1 : 0;
        request.search_kind_given = true;
    }
}

bool options_use_edge_view(ICoreWebView2EnvironmentOptions* options) {
    if (options == nullptr) {
        return false;
    }
    const auto option = win32::query<EdgeViewOption>(options);
    if (!option) {
        return false;
    }
    INT32 value = 0;
    return option->get_use_edge_view(&value) == S_OK && value == 1;
}

void apply_option_channels(ICoreWebView2EnvironmentOptions* options, EnvironmentRequest& request) {
    if (options == nullptr || (request.search_kind_given && request.release_channels_given)) {
        return;
    }
    const auto channels = win32::query<ChannelOptions>(options);
    if (!channels) {
        return;
    }
    if (!request.search_kind_given) {
        INT32 kind = 0;
        if (SUCCEEDED(channels->get_channel_search_kind(&kind)) && kind == 1) {
            request.channel_search_kind = 1;
        }
    }
    if (!request.release_channels_given) {
        UINT32 mask = 0;
        if (SUCCEEDED(channels->get_release_channels(&mask)) && mask != 0) {
            request.release_channels = mask;
            request.release_channels_given = true;
        }
    }
}

std::wstring app_user_model_id_from(const AppIdFunctions& functions) {
    if (functions.get_current_application_user_model_id != nullptr) {
        wchar_t buffer[131] = {};
        UINT32 length = 131;
        if (functions.get_current_application_user_model_id(&length, buffer) == ERROR_SUCCESS) {
            buffer[130] = L'\0';
            return buffer;
        }
    }
    if (functions.get_current_process_explicit_app_user_model_id != nullptr) {
        win32::UniqueCoTaskString id;
        if (SUCCEEDED(functions.get_current_process_explicit_app_user_model_id(id.put()))) {
            return id ? std::wstring(id.get()) : std::wstring();
        }
    }
    return std::wstring();
}

std::wstring app_user_model_id() {
    return app_user_model_id_from(app_id_functions());
}

HRESULT module_file_name(std::wstring& name) {
    for (const DWORD size : {DWORD{260}, DWORD{4096}}) {
        std::wstring buffer(size, L'\0');
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        const DWORD error = GetLastError();
        if (length != 0 && length < size) {
            buffer.resize(length);
            name = std::move(buffer);
            return S_OK;
        }
        if (length == 0 || error != ERROR_INSUFFICIENT_BUFFER || size == 4096) {
            return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
        }
    }
    return E_FAIL;
}

std::wstring exe_file_name() {
    std::wstring path;
    if (FAILED(module_file_name(path))) {
        return std::wstring();
    }
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace loader
