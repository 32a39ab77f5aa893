#pragma once

#include "fake_webview.h"

namespace fake_browser_view {

// The view's settings: records the status bar switch and the user agent.
class FakeSettings final : public FakeObject<ICoreWebView2Settings2> {
public:
    FakeSettings() : FakeObject("settings") {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    FAKE_UNUSED(get_IsScriptEnabled, BOOL*)
    FAKE_UNUSED(put_IsScriptEnabled, BOOL)
    FAKE_UNUSED(get_IsWebMessageEnabled, BOOL*)
    FAKE_UNUSED(put_IsWebMessageEnabled, BOOL)
    FAKE_UNUSED(get_AreDefaultScriptDialogsEnabled, BOOL*)
    FAKE_UNUSED(put_AreDefaultScriptDialogsEnabled, BOOL)
    FAKE_UNUSED(get_IsStatusBarEnabled, BOOL*)
    HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL is_status_bar_enabled) override;
    FAKE_UNUSED(get_AreDevToolsEnabled, BOOL*)
    FAKE_UNUSED(put_AreDevToolsEnabled, BOOL)
    FAKE_UNUSED(get_AreDefaultContextMenusEnabled, BOOL*)
    FAKE_UNUSED(put_AreDefaultContextMenusEnabled, BOOL)
    FAKE_UNUSED(get_AreHostObjectsAllowed, BOOL*)
    FAKE_UNUSED(put_AreHostObjectsAllowed, BOOL)
    FAKE_UNUSED(get_IsZoomControlEnabled, BOOL*)
    FAKE_UNUSED(put_IsZoomControlEnabled, BOOL)
    FAKE_UNUSED(get_IsBuiltInErrorPageEnabled, BOOL*)
    FAKE_UNUSED(put_IsBuiltInErrorPageEnabled, BOOL)
    HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR* user_agent) override;
    HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR user_agent) override;
};

// The default user agent the fake reports.
inline constexpr wchar_t default_user_agent[] =
    L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    L"Chrome/120.0.0.0 Safari/537.36 Edg/120.0.2210.91";

}  // namespace fake_browser_view
