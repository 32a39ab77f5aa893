#include "app/win32/navigation_policy.h"

#include <shellapi.h>
#include <windows.h>

#include "app/host_rules.h"
#include "app/win32/page_host.h"
#include "win32/com_object.h"
#include "win32/system_handles.h"

namespace win32_host {
namespace {

// get_IsUserInitiated, false when the call leaves the value unset.
template <typename Arguments>
bool user_initiated(Arguments* args) {
    BOOL user = FALSE;
    (void)args->get_IsUserInitiated(&user);
    return user != FALSE;
}

void on_navigation_starting(ICoreWebView2NavigationStartingEventArgs* args) {
    win32::UniqueCoTaskString uri;
    (void)args->get_Uri(uri.put());
    if (is_page_address(uri ? uri.get() : L"")) {
        return;
    }
    (void)args->put_Cancel(TRUE);
    if (user_initiated(args)) {
        open_external(uri.get());
    }
}

void on_new_window_requested(ICoreWebView2NewWindowRequestedEventArgs* args) {
    // Handled without a new view: the runtime opens no window, the page gets none.
    (void)args->put_Handled(TRUE);
    if (!user_initiated(args)) {
        return;
    }
    win32::UniqueCoTaskString uri;
    (void)args->get_Uri(uri.put());
    open_external(uri.get());
}

}  // namespace

bool is_page_address(std::wstring_view address) {
    return address.starts_with(page_prefix_wide);
}

void open_external(const wchar_t* address) {
    if (!host::is_external_address(std::wstring_view(address ? address : L""))) {
        return;
    }
    ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

// The runtime gets S_OK whatever happens inside; a navigation or window whose handling failed is
// refused, never let through.
win32::ComPtr<ICoreWebView2NavigationStartingEventHandler> make_navigation_starting_handler() {
    return win32::make_com_object<ICoreWebView2NavigationStartingEventHandler>(
        [](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) noexcept {
            try {
                on_navigation_starting(args);
            } catch (...) {
                try {
                    (void)args->put_Cancel(TRUE);
                } catch (...) {
                }
            }
        });
}

win32::ComPtr<ICoreWebView2NewWindowRequestedEventHandler> make_new_window_handler() {
    return win32::make_com_object<ICoreWebView2NewWindowRequestedEventHandler>(
        [](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) noexcept {
            try {
                on_new_window_requested(args);
            } catch (...) {
                try {
                    (void)args->put_Handled(TRUE);
                } catch (...) {
                }
            }
        });
}

}  // namespace win32_host
