#pragma once

// The fake browser view's control window: a hidden top-level window of the host's UI thread,
// class "CorvaneFakeBrowserControl", through which a test program plays one step at a time.
// It sends WM_COPYDATA with dwData 1 and the step as UTF-8; the step runs on the UI thread
// before SendMessage returns, so every immediate effect is in the log by then. The result is
// 1 for a step that was played, 0 for one the view does not know.

#include <windows.h>

namespace fake_browser_view {

class FakeWebView;

inline constexpr wchar_t control_window_class[] = L"CorvaneFakeBrowserControl";

HWND create_control_window(FakeWebView* view);

}  // namespace fake_browser_view
