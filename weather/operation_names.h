#pragma once

#include <algorithm>
#include <array>
#include <string_view>

// The operations a page may ask for, named once for the weather core and the page bridge.
namespace weather {

inline constexpr std::array<std::string_view, 10> operation_names = {
    "metars",   "pireps", "point", "alerts", "tafs",
    "hazards",  "forecast", "discussion", "zone", "winds"};

inline constexpr char unsupported_operation_error[] = "Unsupported weather operation";

// Exact, case-sensitive comparison: "Alerts" and "alerts " are not operations.
constexpr bool is_operation(std::string_view name) {
    return std::find(operation_names.begin(), operation_names.end(), name) != operation_names.end();
}

}  // namespace weather
