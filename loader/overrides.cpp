#include "loader/overrides.h"

#include <atomic>

#include "loader/downgrade_policy.h"
#include "loader/elevation.h"
#include "loader/policy.h"

namespace loader {
namespace {

// Shared by every entry call; it only decides whether policy keys are read at all.
std::atomic<bool> policy_root_flag{true};

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

std::optional<OverrideValue> read_override(const SettingRow& row, Wildcard wildcard) {
    const bool elevated = process_is_elevated();
    if (!elevated) {
        if (auto text = environment_variable(row.variable)) {
            return value_from_text(std::move(*text), row.kind);
        }
    }
    if (row.policy_root == PolicyRootCheck::trust_last_check && !policy_root_flag.load()) {
        return std::nullopt;
    }
    const bool present = policy_root_exists(HKEY_LOCAL_MACHINE) ||
                         (!elevated && policy_root_exists(HKEY_CURRENT_USER));
    policy_root_flag.store(present);
    if (!present) {
        return std::nullopt;
    }
    if (auto value = read_policy(HKEY_LOCAL_MACHINE, row, wildcard)) {
        return value;
    }
    if (!elevated) {
        return read_policy(HKEY_CURRENT_USER, row, wildcard);
    }
    return std::nullopt;
}

bool policy_root_present() {
    return policy_root_flag.load();
}

void resolve_overrides(EnvironmentRequest& request, OverrideStrings& strings) {
    policy_root_flag.store(true);
    if (auto value = read_override(browser_folder_row, Wildcard::allowed)) {
        strings.browser_folder = std::move(value->text);
        request.browser_folder = strings.browser_folder.c_str();
    }

    apply_downgrade_policy(request, strings);

    if (auto value = read_override(user_data_folder_row, Wildcard::refused)) {
        strings.user_data_folder = std::move(value->text);
        request.user_data_folder = strings.user_data_folder.c_str();
    }

    // Read even when elevated: it only chooses between two installed browsers.
    if (const auto edge = environment_variable(L"WEBVIEW2_USE_EDGE_VIEW")) {
        request.use_edge_view = *edge == L"1";
    }

    // The wildcard chooses a channel only for the WebView2 runtime, not for the Edge browser.
    const Wildcard channel_wildcard = request.use_edge_view ? Wildcard::refused : Wildcard::allowed;
    if (const auto value = read_override(release_channels_row, channel_wildcard);
        value && value->channels_given) {
        request.release_channels |= value->channels;
        request.release_channels_given = true;
    }

    auto search_kind = read_override(search_kind_row, channel_wildcard);
    if (!search_kind) {
        search_kind = read_override(older_search_kind_row, channel_wildcard);
    }
    if (search_kind) {
        request.channel_search_kind = search_kind->flag ? least_stable_first : most_stable_first;
        request.search_kind_given = true;
    }
}

}  // namespace loader
