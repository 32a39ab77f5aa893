#pragma once

// Keeps the browser view on the page host: navigations elsewhere are cancelled, new windows
// refused, and user-started https addresses handed to the system's default browser.

#include <string_view>

#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace win32_host {

// Whether `address` lies under "https://" + the page host + "/", compared code unit by code
// unit (no case folding, trimming or decoding).
bool is_page_address(std::wstring_view address);

// Opens an https address with the user's default handler; drops anything else (an absent
// address counts as empty). Failures are ignored. UI thread.
void open_external(const wchar_t* address);

// The NavigationStarting and NewWindowRequested handlers; empty when memory runs out. They
// capture nothing and always return S_OK.
win32::ComPtr<ICoreWebView2NavigationStartingEventHandler> make_navigation_starting_handler();
win32::ComPtr<ICoreWebView2NewWindowRequestedEventHandler> make_new_window_handler();

}  // namespace win32_host
