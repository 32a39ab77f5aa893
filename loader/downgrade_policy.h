#pragma once

#include <string_view>

#include "loader/environment_request.h"

namespace loader {

// Pins the request to the exact runtime version named by the machine's DowngradeVersion policy
// when that version's folder exists beside the installed stable runtime. Never fails: each
// outcome is only reported.
void apply_downgrade_policy(EnvironmentRequest& request, OverrideStrings& strings);

// Four non-empty runs of decimal digits separated by single dots.
bool is_policy_version(std::wstring_view text);

}  // namespace loader
