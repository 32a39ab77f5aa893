#pragma once

// The main window: its class, geometry and window procedure.

#include <windows.h>

namespace win32_host {

inline constexpr wchar_t window_class_name[] = L"CorvaneWeatherWindow";

// The initial window rectangle on a primary screen of the given size in physical pixels (the
// hosts' shared rule); not scaled by DPI.
RECT window_rectangle(int screen_width, int screen_height);

// The smallest size the user can drag the window to at `dpi`: the shared minimum at 96 DPI,
// scaled and rounded to nearest.
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

}  // namespace win32_host
