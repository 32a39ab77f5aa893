#pragma once

// Group policy: the values below the policy root that override a setting.

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "loader/settings.h"

namespace loader {

// Whether the policy root key exists under `root`.
bool policy_root_exists(HKEY root);

// The policy value of `row` under `root`, looked up by the names of policy_value_names.
std::optional<OverrideValue> read_policy(HKEY root, const SettingRow& row, Wildcard wildcard);

// One policy value of the kind of `row`.
std::optional<OverrideValue> read_policy_value(HKEY key, const wchar_t* name, SettingKind kind);

// The value names tried under a policy key, in order: the application user model ID and the
// executable's file name (each only when not empty), then "*" when allowed.
std::vector<std::wstring> policy_value_names(const std::wstring& app_id,
                                             const std::wstring& exe_name, Wildcard wildcard);

}  // namespace loader
