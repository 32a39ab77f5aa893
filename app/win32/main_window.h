#pragma once

// The main window: its class, geometry and window procedure.

#include <windows.h>

namespace host {

inline constexpr wchar_t window_class_name[] = L"CorvaneWeatherWindow";
inline constexpr wchar_t window_title[] = L"Corvane Weather \u2014 Western United States";

// The initial window rectangle on a primary screen of the given size in physical pixels: at
// most 1460 x 960, 70 and 80 pixels smaller than the screen, centred. Not scaled by DPI.
RECT window_rectangle(int screen_width, int screen_height);

// The smallest size the user can drag the window to at `dpi`: 920 x 650 at 96 DPI, scaled.
SIZE minimum_track_size(UINT dpi);

// Registers "CorvaneWeatherWindow" with icon group 1 of `instance` and the given background.
ATOM register_window_class(HINSTANCE instance, HBRUSH background);

// The window procedure of "CorvaneWeatherWindow". An exception raised while it handles a
// message does not unwind into the system's frames: it is kept for
// rethrow_carried_exception. UI thread.
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// Rethrows the exception that the window procedure kept, if any; call it straight after the
// system call that dispatched the message (CreateWindowExW, DispatchMessageW).
void rethrow_carried_exception();

}  // namespace host
