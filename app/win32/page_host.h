#pragma once

#include "base/constant_text.h"

// The virtual host under which WebView2 serves the web folder; the page's origin for the bridge. A
// reserved .example name can never clash with a real site.
namespace win32_host {

inline constexpr char page_host[] = "corvane-weather.example";
inline constexpr char page_prefix[] = "https://corvane-weather.example/";
inline constexpr char start_address[] = "https://corvane-weather.example/index.html";
inline constexpr auto page_host_wide = base::wide_text(page_host);
inline constexpr auto page_prefix_wide = base::wide_text(page_prefix);
inline constexpr auto start_address_wide = base::wide_text(start_address);

}  // namespace win32_host
