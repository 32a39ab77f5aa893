#pragma once

// Settings resolution: the caller's arguments overridden by environment variables and group
// policy, row by row in the settings order.

#include <optional>
#include <string>

#include "loader/environment_request.h"
#include "loader/settings.h"

namespace loader {

// Applies environment variables and group policy to `request` in the settings order; the texts
// the request then points to live in `strings`. Never fails: what is absent keeps its value.
void resolve_overrides(EnvironmentRequest& request, OverrideStrings& strings);

// One row of the settings: the variable (unless elevated), else the machine and then the user
// policy (the user one unless elevated). Empty when nothing was found.
std::optional<OverrideValue> read_override(const SettingRow& row, Wildcard wildcard);

// The value of an environment variable; empty when it does not exist (an existing empty variable
// gives an empty text).
std::optional<std::wstring> environment_variable(const wchar_t* name);

// Whether the policy root key was present at the last look; process-wide.
bool policy_root_present();

}  // namespace loader
