#pragma once

// The COM objects the fake runtime hands out: the environment here; the controller, view,
// settings and event arguments of the browser view each in their own files.

#include <atomic>
#include <string>

#include "call_log.h"
#include "win32/webview2.h"

namespace fake_runtime {

// Fake objects alive in this process.
inline std::atomic<long> live_objects{0};

// Whether the host asked for a browser view in this process.
inline std::atomic<bool> browser_view_requested{false};

// Reference counting shared by the fake objects; logs "<name> released" when the last
// reference goes, so a test can check that everyone let go.
template <typename Interface>
class FakeObject : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) {
            log_line(name + " released");
            delete this;
        }
        return left;
    }

protected:
    explicit FakeObject(std::string name) : name(std::move(name)) { ++live_objects; }
    virtual ~FakeObject() { --live_objects; }

    // Logs a call the host is not expected to make, and refuses it.
    HRESULT unexpected(const char* method) const {
        log_line("unexpected " + name + " " + method);
        return E_NOTIMPL;
    }

private:
    std::atomic<ULONG> references{1};
    std::string name;
};

// An environment that answers QueryInterface for itself and creates the fake browser view.
class FakeEnvironment final : public FakeObject<ICoreWebView2Environment> {
public:
    FakeEnvironment() : FakeObject("environment") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
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

// An object that is no environment: only IUnknown.
class PlainObject final : public FakeObject<IUnknown> {
public:
    PlainObject() : FakeObject("object") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
};

}  // namespace fake_runtime
