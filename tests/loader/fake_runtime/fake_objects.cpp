#include "fake_objects.h"

#include <objbase.h>

#include "call_log.h"

namespace fake_runtime {
template <typename Interface>
ULONG FakeObject<Interface>::Release() {
    const ULONG left = --references;
    if (left == 0) {
        log_line(name + " released");
        delete this;
    }
    return left;
}

HRESULT FakeEnvironment::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_ICoreWebView2Environment) {
        *out = static_cast<ICoreWebView2Environment*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeEnvironment::CreateCoreWebView2Controller(
    HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) {
    return E_NOTIMPL;
}
HRESULT FakeEnvironment::CreateWebResourceResponse(IStream*, int, LPCWSTR, LPCWSTR,
                                                   ICoreWebView2WebResourceResponse**) {
    return E_NOTIMPL;
}
HRESULT FakeEnvironment::get_BrowserVersionString(LPWSTR* version_info) {
    if (version_info == nullptr) {
        return E_POINTER;
    }
    static constexpr wchar_t version[] = L"120.0.2210.91";
    *version_info = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(version)));
    if (*version_info == nullptr) {
        return E_OUTOFMEMORY;
    }
    CopyMemory(*version_info, version, sizeof(version));
    return S_OK;
}
HRESULT FakeEnvironment::add_NewBrowserVersionAvailable(
    ICoreWebView2NewBrowserVersionAvailableEventHandler*, EventRegistrationToken*) {
    return E_NOTIMPL;
}
HRESULT FakeEnvironment::remove_NewBrowserVersionAvailable(EventRegistrationToken) {
    return E_NOTIMPL;
}

HRESULT PlainObject::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

template class FakeObject<ICoreWebView2Environment>;
template class FakeObject<IUnknown>;

}  // namespace fake_runtime
