#include "fake_controller.h"

#include <stdexcept>

#include "browser_script.h"
#include "fake_webview.h"

namespace fake_browser_view {

FakeController::FakeController(HWND parent_window)
    : FakeObject("controller"), view(new FakeWebView(parent_window)) {}

FakeController::~FakeController() {
    if (view) {
        view->Release();
    }
}

HRESULT FakeController::put_IsVisible(BOOL is_visible) {
    log_line("controller put_IsVisible " + std::to_string(is_visible));
    return S_OK;
}

HRESULT FakeController::put_Bounds(RECT bounds) {
    if (throw_on_next_bounds.exchange(false)) {
        log_line("controller put_Bounds throws");
        throw std::runtime_error("The fake browser view failed to take its bounds");
    }
    log_line("controller put_Bounds " + std::to_string(bounds.left) + " " +
             std::to_string(bounds.top) + " " + std::to_string(bounds.right) + " " +
             std::to_string(bounds.bottom));
    return S_OK;
}

HRESULT FakeController::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) {
    log_line("controller MoveFocus " + std::to_string(static_cast<int>(reason)));
    return S_OK;
}

HRESULT FakeController::Close() {
    log_line("controller Close");
    closed = true;
    if (view) {
        view->Release();
        view = nullptr;
    }
    return S_OK;
}

HRESULT FakeController::get_CoreWebView2(ICoreWebView2** core_webview2) {
    log_line("controller get_CoreWebView2");
    if (core_webview2 == nullptr) {
        return E_POINTER;
    }
    if (closed || view == nullptr || browser_script().no_webview) {
        *core_webview2 = nullptr;
        return E_FAIL;
    }
    view->AddRef();
    *core_webview2 = view;
    return S_OK;
}

}  // namespace fake_browser_view
