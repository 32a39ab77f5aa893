#pragma once

// What both desktop hosts show and do alike; each host keeps only its platform calls. The reply
// path's shutdown, also shared, is bridge::AsyncState::close.

#include <algorithm>
#include <string>
#include <string_view>

#include "base/constant_text.h"

namespace host {

inline constexpr char window_title[] = "Corvane Weather \u2014 Western United States";
inline constexpr auto window_title_wide = base::wide_text(window_title);

// Appended to the browser view's own user agent.
inline constexpr char user_agent_token[] = " CorvaneWeather/1.0";
inline constexpr auto user_agent_token_wide = base::wide_text(user_agent_token);

// The window's background until the page draws: #0C1623.
struct Colour {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
};
inline constexpr Colour background{12, 22, 35};

struct Rectangle {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The main window on a screen: at most 1460 x 960, leaving 70 x 80 of the screen free, centred
// (integer division truncating toward zero). Screen pixels as the platform reports them.
constexpr Rectangle main_window_rectangle(const Rectangle& screen) {
    Rectangle window;
    window.width = std::min(screen.width - 70, 1460);
    window.height = std::min(screen.height - 80, 960);
    window.x = screen.x + (screen.width - window.width) / 2;
    window.y = screen.y + (screen.height - window.height) / 2;
    return window;
}

// The smallest the user can make the window, in logical pixels (96 per inch).
inline constexpr int minimum_width = 920;
inline constexpr int minimum_height = 650;

// The box shown when the page's folder is not beside the program.
inline std::string missing_web_folder_text(std::string_view program, std::string_view remedy) {
    return "The web folder is missing. Keep the web folder beside " + std::string(program) +
           ", or " + std::string(remedy) + ".";
}

// Whether an address may be handed to the system's default browser: it begins with "https://",
// compared code unit by code unit (no case folding, trimming or decoding).
template <typename Char>
constexpr bool is_external_address(std::basic_string_view<Char> address) {
    constexpr std::string_view prefix = "https://";
    return address.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), address.begin(),
                      [](char expected, Char seen) { return Char(expected) == seen; });
}

}  // namespace host
