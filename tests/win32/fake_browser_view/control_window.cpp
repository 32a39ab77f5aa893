#include "control_window.h"

#include <string>

#include "fake_webview.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this library's own module

namespace fake_browser_view {
namespace {

LRESULT CALLBACK control_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_COPYDATA) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    auto* view = reinterpret_cast<FakeWebView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (data == nullptr || data->dwData != 1 || view == nullptr || !is_live_view(view)) {
        return 0;
    }
    const std::string step(static_cast<const char*>(data->lpData), data->cbData);
    return view->run_step(step) ? 1 : 0;
}

}  // namespace

HWND create_control_window(FakeWebView* view) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.lpfnWndProc = &control_procedure;
    description.hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    description.lpszClassName = control_window_class;
    RegisterClassExW(&description);  // fails harmlessly when already registered
    const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, control_window_class, L"", WS_POPUP, 0, 0,
                                        0, 0, nullptr, nullptr, description.hInstance, nullptr);
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    }
    return window;
}

}  // namespace fake_browser_view
