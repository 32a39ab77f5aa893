#pragma once

// The COM objects the fake runtime hands out. A later browser-view fake adds its controller,
// view and settings objects beside these, each in its own files.

#include <atomic>
#include <string>

#include "loader/webview2.h"

namespace fake_runtime {

// Reference counting shared by the fake objects; logs "<name> released" when the last
// reference goes, so a test can check that everyone let go.
template <typename Interface>
class FakeObject : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override;

protected:
    explicit FakeObject(std::string name) : name(std::move(name)) {}
    virtual ~FakeObject() = default;

private:
    std::atomic<ULONG> references{1};
    std::string name;
};

// An environment that answers QueryInterface for itself and nothing else yet.
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
