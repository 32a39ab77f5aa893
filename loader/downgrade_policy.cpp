#include "loader/downgrade_policy.h"

#include <string>

#include <windows.h>

#include "loader/debug_output.h"
#include "loader/process_identity.h"
#include "loader/registry.h"
#include "loader/registry_keys.h"
#include "loader/telemetry.h"

namespace loader {
namespace {

// Steps up to storing the candidate; the keys it opens are closed when it returns.
bool pin_exact_version(HKEY policy_key, const std::wstring& exe_name, OverrideStrings& strings) {
    std::optional<std::wstring> version;
    if (const std::wstring app_id = app_user_model_id(); !app_id.empty()) {
        version = get_string_value(policy_key, app_id.c_str());
    }
    if (!version) {
        version = get_string_value(policy_key, exe_name.c_str());
    }
    if (!version) {
        report_downgrade_policy("No version mapping found", {}, false);
        return false;
    }
    if (version->empty()) {
        report_downgrade_policy("Version value is empty", {}, false);
        return false;
    }
    if (!is_policy_version(*version)) {
        report_downgrade_policy("Invalid version format", *version, false);
        return false;
    }
    const auto stable_key =
        open_key(HKEY_LOCAL_MACHINE, client_state_key(stable_channel_guid).c_str(),
                 KEY_WOW64_32KEY | KEY_QUERY_VALUE);
    if (!stable_key) {
        report_downgrade_policy("ClientState key not found", {}, false);
        return false;
    }
    const auto installed = query_text_value(stable_key.get(), runtime_folder_value);
    if (!installed) {
        report_downgrade_policy("EBWebView value not found", {}, false);
        return false;
    }
    if (installed->bytes <= 1) {
        report_downgrade_policy("EBWebView is empty", {}, false);
        return false;
    }
    if (installed->text.empty()) {
        report_downgrade_policy("EBWebView path is empty", {}, false);
        return false;
    }
    const std::size_t slash = installed->text.rfind(L'\\');
    if (slash == std::wstring::npos) {
        report_downgrade_policy("Invalid EBWebView path format", {}, false);
        return false;
    }
    const std::wstring parent = installed->text.substr(0, slash + 1);
    if (parent.size() + version->size() >= MAX_PATH) {
        report_downgrade_policy("Exact path would exceed MAX_PATH", {}, false);
        return false;
    }
    const std::wstring candidate = parent + *version;
    const DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        report_downgrade_policy("Exact version folder not found", *version, false);
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        report_downgrade_policy("Exact version path is not a directory", candidate, false);
        return false;
    }
    strings.exact_version_folder = candidate;
    debug_path_line("WebView2: DowngradeVersion policy applied (exact match), redirecting to ",
                    candidate);
    report_downgrade_policy("Policy applied (exact)", candidate, true);
    return true;
}

}  // namespace

bool is_policy_version(std::wstring_view text) {
    int dots = 0;
    wchar_t previous = L'.';  // so a leading dot counts as a doubled one
    for (const wchar_t c : text) {
        if (c == L'.') {
            if (previous == L'.') {
                return false;
            }
            ++dots;
        } else if (c < L'0' || c > L'9') {
            return false;
        }
        previous = c;
    }
    return dots == 3 && previous != L'.';
}

void apply_downgrade_policy(EnvironmentRequest& request, OverrideStrings& strings) {
    const std::wstring exe_name = exe_file_name();
    if (exe_name.empty()) {
        return;
    }
    const std::wstring policy_key_path = std::wstring(policy_root) + downgrade_policy_name;
    auto policy_key = open_key(HKEY_LOCAL_MACHINE, policy_key_path.c_str(), KEY_QUERY_VALUE);
    if (!policy_key) {
        return;
    }
    const bool applied = pin_exact_version(policy_key.get(), exe_name, strings);
    policy_key.reset();
    if (applied) {
        request.exact_version_folder = strings.exact_version_folder.c_str();
        debug_line("WebView2: DowngradeVersion policy resolved\n");
    }
}

}  // namespace loader
