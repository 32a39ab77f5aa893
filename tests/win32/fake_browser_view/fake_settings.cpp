#include "fake_settings.h"

#include "browser_script.h"
#include "string_tracker.h"

namespace fake_browser_view {

HRESULT FakeSettings::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    const bool second = iid == IID_ICoreWebView2Settings2;
    if (second) {
        log_line(std::string("settings QueryInterface ICoreWebView2Settings2 ") +
                 (browser_script().no_settings_2 ? "refused" : "given"));
    }
    if (iid == IID_IUnknown || iid == IID_ICoreWebView2Settings ||
        (second && !browser_script().no_settings_2)) {
        *out = static_cast<ICoreWebView2Settings2*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeSettings::put_IsStatusBarEnabled(BOOL is_status_bar_enabled) {
    log_line("settings put_IsStatusBarEnabled " + std::to_string(is_status_bar_enabled));
    return S_OK;
}

HRESULT FakeSettings::get_UserAgent(LPWSTR* user_agent) {
    log_line("settings get_UserAgent");
    if (user_agent == nullptr) {
        return E_POINTER;
    }
    *user_agent = browser_script().user_agent_none ? nullptr : hand_out(default_user_agent);
    return S_OK;
}

HRESULT FakeSettings::put_UserAgent(LPCWSTR user_agent) {
    log_line("settings put_UserAgent " + utf8(user_agent));
    return S_OK;
}

}  // namespace fake_browser_view
