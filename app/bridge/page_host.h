#pragma once

#include "app/bridge/wide_text.h"

// The virtual host under which the browser view serves the web folder. A reserved .example
// name can never clash with a real site.
namespace bridge {

inline constexpr char page_host[] = "corvane-weather.example";
inline constexpr char page_prefix[] = "https://corvane-weather.example/";
inline constexpr char start_address[] = "https://corvane-weather.example/index.html";
inline constexpr WideText page_host_wide{page_host};
inline constexpr WideText page_prefix_wide{page_prefix};
inline constexpr WideText start_address_wide{start_address};

}  // namespace bridge
