#pragma once

#include <algorithm>

namespace linux_host {

struct WindowRectangle {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The main window on a monitor: at most 1460 × 960, leaving 70 × 80 of the monitor free,
// centred (integer division, as on Windows).
inline WindowRectangle main_window_rectangle(const WindowRectangle& monitor) {
    WindowRectangle window;
    window.width = std::min(monitor.width - 70, 1460);
    window.height = std::min(monitor.height - 80, 960);
    window.x = monitor.x + (monitor.width - window.width) / 2;
    window.y = monitor.y + (monitor.height - window.height) / 2;
    return window;
}

inline constexpr int minimum_width = 920;
inline constexpr int minimum_height = 650;

}  // namespace linux_host
