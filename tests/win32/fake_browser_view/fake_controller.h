#pragma once

#include "fake_environment.h"

namespace fake_browser_view {

class FakeWebView;

// Set by the step "bounds_throw": the next put_Bounds throws a C++ exception, a stand-in for any
// exception raised while the host's window procedure handles a message.
inline std::atomic<bool> throw_on_next_bounds{false};

// The browser view's controller. It holds the view until Close; records bounds, visibility,
// focus moves and the close.
class FakeController final : public FakeObject<ICoreWebView2Controller> {
public:
    explicit FakeController(HWND parent_window);
    ~FakeController() override;

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL*) override { return unexpected(__func__); }
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL is_visible) override;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT*) override { return unexpected(__func__); }
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double*) override { return unexpected(__func__); }
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double) override { return unexpected(__func__); }
    HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler*,
                                                    EventRegistrationToken*) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT, double) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) override;
    HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler*,
                                                     EventRegistrationToken*) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE add_GotFocus(ICoreWebView2FocusChangedEventHandler*,
                                           EventRegistrationToken*) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE add_LostFocus(ICoreWebView2FocusChangedEventHandler*,
                                            EventRegistrationToken*) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(
        ICoreWebView2AcceleratorKeyPressedEventHandler*, EventRegistrationToken*) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken) override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND*) override { return unexpected(__func__); }
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) override { return unexpected(__func__); }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override {
        return unexpected(__func__);
    }
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** core_webview2) override;

private:
    FakeWebView* view = nullptr;  // our reference, dropped by Close
    bool closed = false;
};

}  // namespace fake_browser_view
