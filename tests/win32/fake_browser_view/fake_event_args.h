#pragma once

// Event arguments of the fake browser view: each records what the host asked and set.

#include <optional>
#include <string>

#include "fake_webview.h"

namespace fake_browser_view {

// What get_IsUserInitiated answers: TRUE, FALSE, or a failure that leaves the value unset.
enum class Initiator { user, script, unset };

class FakeWebMessageArgs final : public FakeObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    enum class Text { given, failing, none };
    FakeWebMessageArgs(std::optional<std::wstring> source, std::wstring json, Text text)
        : FakeObject("message args"),
          source(std::move(source)),
          json(std::move(json)),
          text(text) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override;
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* web_message_as_json) override;
    FAKE_UNUSED(TryGetWebMessageAsString, LPWSTR*)

private:
    std::optional<std::wstring> source;
    std::wstring json;
    Text text;
};

class FakeNavigationArgs final : public FakeObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    FakeNavigationArgs(std::optional<std::wstring> uri, Initiator initiator)
        : FakeObject("navigation args"), uri(std::move(uri)), initiator(initiator) {}

    bool cancelled() const { return cancel; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* is_user_initiated) override;
    FAKE_UNUSED(get_IsRedirected, BOOL*)
    FAKE_UNUSED(get_RequestHeaders, ICoreWebView2HttpRequestHeaders**)
    FAKE_UNUSED(get_Cancel, BOOL*)
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override;
    FAKE_UNUSED(get_NavigationId, UINT64*)

private:
    std::optional<std::wstring> uri;
    Initiator initiator;
    bool cancel = false;
};

class FakeNewWindowArgs final : public FakeObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    FakeNewWindowArgs(std::optional<std::wstring> uri, Initiator initiator)
        : FakeObject("new window args"), uri(std::move(uri)), initiator(initiator) {}

    bool handled() const { return handled_value; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
    FAKE_UNUSED(put_NewWindow, ICoreWebView2*)
    FAKE_UNUSED(get_NewWindow, ICoreWebView2**)
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override;
    FAKE_UNUSED(get_Handled, BOOL*)
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* is_user_initiated) override;
    FAKE_UNUSED(GetDeferral, ICoreWebView2Deferral**)
    FAKE_UNUSED(get_WindowFeatures, ICoreWebView2WindowFeatures**)

private:
    std::optional<std::wstring> uri;
    Initiator initiator;
    bool handled_value = false;
};

}  // namespace fake_browser_view
