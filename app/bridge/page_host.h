#pragma once

// The virtual host under which the browser view serves the web folder. A reserved .example
// name can never clash with a real site.
namespace bridge {

inline constexpr char page_host[] = "corvane-weather.example";
inline constexpr char page_prefix[] = "https://corvane-weather.example/";
inline constexpr char start_address[] = "https://corvane-weather.example/index.html";
inline constexpr wchar_t page_host_wide[] = L"corvane-weather.example";
inline constexpr wchar_t page_prefix_wide[] = L"https://corvane-weather.example/";
inline constexpr wchar_t start_address_wide[] = L"https://corvane-weather.example/index.html";

}  // namespace bridge
