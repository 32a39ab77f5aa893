#pragma once

#include <string>
#include <vector>

#include "fake_environment.h"

// A method the host must not call: logged and refused.
#define FAKE_UNUSED(method, ...)                             \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { \
        return unexpected(#method);                          \
    }

namespace fake_browser_view {

class FakeSettings;

// The browser view. It records the calls of the host (folder mapping, handlers, navigation,
// posted web messages), raises the start page's navigation once asked to navigate, and raises
// the events of the test's steps: from the script once the page has loaded, or one at a time
// through its control window (see control_window.h).
class FakeWebView final : public FakeObject<ICoreWebView2_3> {
public:
    explicit FakeWebView(HWND parent_window);
    ~FakeWebView() override;

    // Plays one step; false for a step it does not know. Steps:
    //   message SOURCE [JSON]          WebMessageReceived; SOURCE "-" gives no string; the
    //                                  rest of the line is the JSON text (may be empty)
    //   message_unreadable SOURCE      get_WebMessageAsJson fails
    //   message_null SOURCE            get_WebMessageAsJson succeeds without a string
    //   navigate URI user|script|unset NavigationStarting; URI "-" gives no string; "unset"
    //                                  makes get_IsUserInitiated fail without an answer
    //   new_window URI user|script|unset
    //                                  NewWindowRequested
    //   await_replies N                (script only) waits until N replies were posted
    //   bounds_throw                   the controller's next put_Bounds throws
    //   close                          posts WM_CLOSE to the host's window
    bool run_step(const std::string& step);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    FAKE_UNUSED(get_Source, LPWSTR*)
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    FAKE_UNUSED(NavigateToString, LPCWSTR)
    HRESULT STDMETHODCALLTYPE
    add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                           EventRegistrationToken* token) override;
    FAKE_UNUSED(remove_NavigationStarting, EventRegistrationToken)
    FAKE_UNUSED(add_ContentLoading, ICoreWebView2ContentLoadingEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_ContentLoading, EventRegistrationToken)
    FAKE_UNUSED(add_SourceChanged, ICoreWebView2SourceChangedEventHandler*, EventRegistrationToken*)
    FAKE_UNUSED(remove_SourceChanged, EventRegistrationToken)
    FAKE_UNUSED(add_HistoryChanged, ICoreWebView2HistoryChangedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_HistoryChanged, EventRegistrationToken)
    FAKE_UNUSED(add_NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_NavigationCompleted, EventRegistrationToken)
    FAKE_UNUSED(add_FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_FrameNavigationStarting, EventRegistrationToken)
    FAKE_UNUSED(add_FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_FrameNavigationCompleted, EventRegistrationToken)
    FAKE_UNUSED(add_ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_ScriptDialogOpening, EventRegistrationToken)
    FAKE_UNUSED(add_PermissionRequested, ICoreWebView2PermissionRequestedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_PermissionRequested, EventRegistrationToken)
    FAKE_UNUSED(add_ProcessFailed, ICoreWebView2ProcessFailedEventHandler*, EventRegistrationToken*)
    FAKE_UNUSED(remove_ProcessFailed, EventRegistrationToken)
    FAKE_UNUSED(AddScriptToExecuteOnDocumentCreated, LPCWSTR,
                ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*)
    FAKE_UNUSED(RemoveScriptToExecuteOnDocumentCreated, LPCWSTR)
    FAKE_UNUSED(ExecuteScript, LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*)
    FAKE_UNUSED(CapturePreview, COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*,
                ICoreWebView2CapturePreviewCompletedHandler*)
    FAKE_UNUSED(Reload)
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR web_message_as_json) override;
    FAKE_UNUSED(PostWebMessageAsString, LPCWSTR)
    HRESULT STDMETHODCALLTYPE
    add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                           EventRegistrationToken* token) override;
    FAKE_UNUSED(remove_WebMessageReceived, EventRegistrationToken)
    FAKE_UNUSED(CallDevToolsProtocolMethod, LPCWSTR, LPCWSTR,
                ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*)
    FAKE_UNUSED(get_BrowserProcessId, UINT32*)
    FAKE_UNUSED(get_CanGoBack, BOOL*)
    FAKE_UNUSED(get_CanGoForward, BOOL*)
    FAKE_UNUSED(GoBack)
    FAKE_UNUSED(GoForward)
    FAKE_UNUSED(GetDevToolsProtocolEventReceiver, LPCWSTR,
                ICoreWebView2DevToolsProtocolEventReceiver**)
    FAKE_UNUSED(Stop)
    HRESULT STDMETHODCALLTYPE
    add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                           EventRegistrationToken* token) override;
    FAKE_UNUSED(remove_NewWindowRequested, EventRegistrationToken)
    FAKE_UNUSED(add_DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_DocumentTitleChanged, EventRegistrationToken)
    FAKE_UNUSED(get_DocumentTitle, LPWSTR*)
    FAKE_UNUSED(AddHostObjectToScript, LPCWSTR, VARIANT*)
    FAKE_UNUSED(RemoveHostObjectFromScript, LPCWSTR)
    FAKE_UNUSED(OpenDevToolsWindow)
    FAKE_UNUSED(add_ContainsFullScreenElementChanged,
                ICoreWebView2ContainsFullScreenElementChangedEventHandler*, EventRegistrationToken*)
    FAKE_UNUSED(remove_ContainsFullScreenElementChanged, EventRegistrationToken)
    FAKE_UNUSED(get_ContainsFullScreenElement, BOOL*)
    FAKE_UNUSED(add_WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_WebResourceRequested, EventRegistrationToken)
    FAKE_UNUSED(AddWebResourceRequestedFilter, LPCWSTR, COREWEBVIEW2_WEB_RESOURCE_CONTEXT)
    FAKE_UNUSED(RemoveWebResourceRequestedFilter, LPCWSTR, COREWEBVIEW2_WEB_RESOURCE_CONTEXT)
    FAKE_UNUSED(add_WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_WindowCloseRequested, EventRegistrationToken)

    FAKE_UNUSED(add_WebResourceResponseReceived,
                ICoreWebView2WebResourceResponseReceivedEventHandler*, EventRegistrationToken*)
    FAKE_UNUSED(remove_WebResourceResponseReceived, EventRegistrationToken)
    FAKE_UNUSED(NavigateWithWebResourceRequest, ICoreWebView2WebResourceRequest*)
    FAKE_UNUSED(add_DOMContentLoaded, ICoreWebView2DOMContentLoadedEventHandler*,
                EventRegistrationToken*)
    FAKE_UNUSED(remove_DOMContentLoaded, EventRegistrationToken)
    FAKE_UNUSED(get_CookieManager, ICoreWebView2CookieManager**)
    FAKE_UNUSED(get_Environment, ICoreWebView2Environment**)

    FAKE_UNUSED(TrySuspend, ICoreWebView2TrySuspendCompletedHandler*)
    FAKE_UNUSED(Resume)
    FAKE_UNUSED(get_IsSuspended, BOOL*)
    HRESULT STDMETHODCALLTYPE
    SetVirtualHostNameToFolderMapping(LPCWSTR host_name, LPCWSTR folder_path,
                                      COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND access_kind) override;
    FAKE_UNUSED(ClearVirtualHostNameToFolderMapping, LPCWSTR)

private:
    void start_page_navigation(const std::wstring& uri);
    void play_script_from(std::size_t next);
    bool raise_web_message(const std::string& step);
    bool raise_navigation(const std::string& uri, const std::string& initiator);
    bool raise_new_window(const std::string& uri, const std::string& initiator);

    HWND parent_window;
    HWND control_window = nullptr;
    FakeSettings* settings;
    std::vector<ICoreWebView2WebMessageReceivedEventHandler*> message_handlers;
    std::vector<ICoreWebView2NavigationStartingEventHandler*> navigation_handlers;
    std::vector<ICoreWebView2NewWindowRequestedEventHandler*> new_window_handlers;
    std::int64_t next_token = 1;
    long replies_posted = 0;
    long replies_awaited = -1;         // the script waits for this many replies
    std::size_t script_resume_at = 0;  // the step to play when they are there
};

// Whether `view` is still alive; later calls check before they touch it.
bool is_live_view(const FakeWebView* view);

}  // namespace fake_browser_view
