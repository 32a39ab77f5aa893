#include "fake_environment.h"

#include <objbase.h>

#include "browser_script.h"
#include "call_log.h"
#include "delivery.h"
#include "fake_controller.h"

namespace fake_browser_view {

HRESULT FakeEnvironment::CreateCoreWebView2Controller(
    HWND parent_window, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    log_line(std::string("environment CreateCoreWebView2Controller parent=") +
             (parent_window ? "set" : "(null)") + " handler=" + (handler ? "set" : "(null)"));
    browser_view_requested = true;
    if (handler == nullptr) {
        return E_POINTER;
    }
    const BrowserScript& script = browser_script();
    if (script.controller_now) {
        log_line("environment CreateCoreWebView2Controller returns " + hex(*script.controller_now));
        return *script.controller_now;
    }
    if (script.close_before == "controller") {
        close_host_window();
    }
    HRESULT result = S_OK;
    FakeController* made = nullptr;
    if (script.controller_later) {
        result = *script.controller_later;
    } else if (!script.controller_missing) {
        made = new FakeController(parent_window);
    }
    handler->AddRef();
    const HRESULT queued = call_later([handler, result, made] {
        log_line("controller deliver " + hex(result) + (made ? " object" : " (null)"));
        const HRESULT returned = handler->Invoke(result, made);
        log_line("controller handler returned " + hex(returned));
        if (made) {
            made->Release();
        }
        log_line("controller handler released, " + std::to_string(handler->Release()) + " left");
    });
    if (FAILED(queued)) {
        handler->Release();
        if (made) {
            made->Release();
        }
    }
    return queued;
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

}  // namespace fake_browser_view
