#include "loader/policy.h"

#include "loader/process_identity.h"
#include "loader/registry.h"
#include "loader/registry_keys.h"

namespace loader {

bool policy_root_exists(HKEY root) {
    return static_cast<bool>(open_key(root, policy_root, KEY_READ));
}

std::vector<std::wstring> policy_value_names(const std::wstring& app_id,
                                             const std::wstring& exe_name, Wildcard wildcard) {
    // An empty name would address the key's default value, which no administrator meant here.
    std::vector<std::wstring> names;
    if (!app_id.empty()) {
        names.push_back(app_id);
    }
    if (!exe_name.empty()) {
        names.push_back(exe_name);
    }
    if (wildcard == Wildcard::allowed) {
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

std::optional<OverrideValue> read_policy(HKEY root, const SettingRow& row, Wildcard wildcard) {
    const std::wstring path = std::wstring(policy_root) + row.policy;
    const auto key = open_key(root, path.c_str(), KEY_QUERY_VALUE);
    if (!key) {
        return std::nullopt;
    }
    for (const auto& name : policy_value_names(app_user_model_id(), exe_file_name(), wildcard)) {
        if (auto value = read_policy_value(key.get(), name.c_str(), row.kind)) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace loader
