#pragma once

// The browser environment the fake runtime hands out, and the base of every fake browser-view
// object: the controller, view, settings and event arguments each have their own files.

#include <atomic>
#include <string>

#include "call_log.h"
#include "win32/com_object.h"
#include "win32/webview2.h"

namespace fake_browser_view {

// Whether the host asked for a browser view in this process.
inline std::atomic<bool> browser_view_requested{false};

// The product's COM object template with a name: logs "<name> released" when the last reference
// goes (before what it holds is released in turn), so a test can check that everyone let go.
template <typename Interface>
class FakeObject : public win32::ComObjectBase<Interface> {
protected:
    explicit FakeObject(std::string name) : name(std::move(name)) {}

    void last_reference_released() override {
        log_line(name + " released");
        delete this;
    }

    // Logs a call the host is not expected to make, and refuses it.
    HRESULT unexpected(const char* method) const {
        log_line("unexpected " + name + " " + method);
        return E_NOTIMPL;
    }

private:
    std::string name;
};

// An environment that creates the fake browser view.
class FakeEnvironment final : public FakeObject<ICoreWebView2Environment> {
public:
    FakeEnvironment() : FakeObject("environment") {}
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parent_window,
        ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
        IStream* content, int status_code, LPCWSTR reason_phrase, LPCWSTR headers,
        ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* version_info) override;
    HRESULT STDMETHODCALLTYPE
    add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler* handler,
                                   EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE
    remove_NewBrowserVersionAvailable(EventRegistrationToken token) override;
};

}  // namespace fake_browser_view
