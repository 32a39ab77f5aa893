#include "fake_webview.h"

#include <sstream>
#include <unordered_set>

#include "browser_script.h"
#include "control_window.h"
#include "delivery.h"
#include "fake_controller.h"
#include "fake_event_args.h"
#include "fake_settings.h"

namespace fake_browser_view {
namespace {

// Views alive on the UI thread, so a queued call can tell whether its view is gone.
std::unordered_set<const FakeWebView*>& live_views() {
    static auto& views = *new std::unordered_set<const FakeWebView*>;
    return views;
}

std::optional<std::wstring> text_or_none(const std::string& word) {
    if (word == "-") {
        return std::nullopt;
    }
    return wide(word);
}

std::optional<Initiator> initiator_of(const std::string& word) {
    if (word == "user") {
        return Initiator::user;
    }
    if (word == "script") {
        return Initiator::script;
    }
    if (word == "unset") {
        return Initiator::unset;
    }
    return std::nullopt;
}

// Releases what a handler list holds and logs how many references each handler has left: 0
// unless the host kept one of its own.
template <typename Handler>
void release_handlers(std::vector<Handler*>& handlers, const char* event) {
    for (Handler* handler : handlers) {
        log_line(std::string("webview ") + event + " handler released, " +
                 std::to_string(handler->Release()) + " left");
    }
    handlers.clear();
}

}  // namespace

bool is_live_view(const FakeWebView* view) {
    return live_views().count(view) > 0;
}

FakeWebView::FakeWebView(HWND parent_window)
    : FakeObject("webview"), parent_window(parent_window), settings(new FakeSettings) {
    live_views().insert(this);
    control_window = create_control_window(this);
}

FakeWebView::~FakeWebView() {
    live_views().erase(this);
    if (control_window) {
        DestroyWindow(control_window);
    }
    release_handlers(message_handlers, "WebMessageReceived");
    release_handlers(navigation_handlers, "NavigationStarting");
    release_handlers(new_window_handlers, "NewWindowRequested");
    settings->Release();
}

HRESULT FakeWebView::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    const bool third = iid == IID_ICoreWebView2_3;
    if (third) {
        log_line(std::string("webview QueryInterface ICoreWebView2_3 ") +
                 (browser_script().no_webview_3 ? "refused" : "given"));
    }
    if (iid == IID_IUnknown || iid == IID_ICoreWebView2 || iid == IID_ICoreWebView2_2 ||
        (third && !browser_script().no_webview_3)) {
        *out = static_cast<ICoreWebView2_3*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeWebView::get_Settings(ICoreWebView2Settings** out) {
    log_line("webview get_Settings");
    if (out == nullptr) {
        return E_POINTER;
    }
    if (browser_script().no_settings) {
        *out = nullptr;
        return E_FAIL;
    }
    settings->AddRef();
    *out = settings;
    return S_OK;
}

HRESULT FakeWebView::SetVirtualHostNameToFolderMapping(
    LPCWSTR host_name, LPCWSTR folder_path, COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND access_kind) {
    const HRESULT result = browser_script().mapping;
    log_line("webview SetVirtualHostNameToFolderMapping " + utf8(host_name) + " " +
             utf8(folder_path) + " " + std::to_string(static_cast<int>(access_kind)) + " returns " +
             hex(result));
    return result;
}

HRESULT FakeWebView::add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                            EventRegistrationToken* token) {
    log_line("webview add_WebMessageReceived");
    if (handler == nullptr || token == nullptr) {
        return E_INVALIDARG;
    }
    handler->AddRef();
    message_handlers.push_back(handler);
    token->value = next_token++;
    return S_OK;
}

HRESULT FakeWebView::add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                            EventRegistrationToken* token) {
    log_line("webview add_NavigationStarting");
    if (handler == nullptr || token == nullptr) {
        return E_INVALIDARG;
    }
    handler->AddRef();
    navigation_handlers.push_back(handler);
    token->value = next_token++;
    return S_OK;
}

HRESULT FakeWebView::add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                            EventRegistrationToken* token) {
    log_line("webview add_NewWindowRequested");
    if (handler == nullptr || token == nullptr) {
        return E_INVALIDARG;
    }
    handler->AddRef();
    new_window_handlers.push_back(handler);
    token->value = next_token++;
    return S_OK;
}

HRESULT FakeWebView::Navigate(LPCWSTR uri) {
    log_line("webview Navigate " + utf8(uri));
    if (uri == nullptr) {
        return E_INVALIDARG;
    }
    start_page_navigation(uri);
    return S_OK;
}

HRESULT FakeWebView::PostWebMessageAsJson(LPCWSTR web_message_as_json) {
    if (logging()) {
        log_line("webview PostWebMessageAsJson " + utf8(web_message_as_json));
    }
    ++replies_posted;
    if (replies_awaited >= 0 && replies_posted >= replies_awaited) {
        replies_awaited = -1;
        play_script_from(script_resume_at);
    }
    return S_OK;
}

void FakeWebView::start_page_navigation(const std::wstring& uri) {
    // As the runtime does: the navigation starts later, through the message loop, and is
    // subject to the host's NavigationStarting handler like any other.
    const std::string text = utf8(uri.c_str());
    (void)call_later([this, text] {
        if (!is_live_view(this)) {
            return;
        }
        if (raise_navigation(text, "script")) {
            log_line("page loaded " + text);
            play_script_from(0);
        }
    });
}

void FakeWebView::play_script_from(std::size_t next) {
    const std::vector<std::string>& steps = browser_script().steps;
    if (next >= steps.size()) {
        return;
    }
    (void)call_later([this, next] {
        if (!is_live_view(this)) {
            return;
        }
        const std::string& step = browser_script().steps[next];
        if (step.rfind("await_replies ", 0) == 0) {
            const long wanted = std::stol(step.substr(14));
            log_line("step " + step);
            if (replies_posted < wanted) {
                replies_awaited = wanted;
                script_resume_at = next + 1;
                return;
            }
        } else {
            run_step(step);
        }
        play_script_from(next + 1);
    });
}

bool FakeWebView::run_step(const std::string& step) {
    log_line("step " + step);
    std::istringstream words(step);
    std::string kind;
    words >> kind;
    bool played = false;
    if (kind == "message" || kind == "message_unreadable" || kind == "message_null") {
        played = raise_web_message(step);
    } else if (kind == "navigate" || kind == "new_window") {
        std::string uri;
        std::string initiator;
        words >> uri >> initiator;
        if (initiator_of(initiator)) {
            if (kind == "navigate") {
                raise_navigation(uri, initiator);
            } else {
                raise_new_window(uri, initiator);
            }
            played = true;
        }
    } else if (kind == "bounds_throw") {
        throw_on_next_bounds = true;
        played = true;
    } else if (kind == "close") {
        PostMessageW(parent_window, WM_CLOSE, 0, 0);
        played = true;
    }
    log_line(played ? "step done" : "step unknown");
    return played;
}

bool FakeWebView::raise_web_message(const std::string& step) {
    // kind, one space, source, then (for "message") one space and the JSON text to the end.
    const std::size_t after_kind = step.find(' ');
    if (after_kind == std::string::npos) {
        return false;
    }
    const std::string kind = step.substr(0, after_kind);
    const std::size_t after_source = step.find(' ', after_kind + 1);
    const std::string source = step.substr(after_kind + 1, after_source - after_kind - 1);
    const std::string json =
        after_source == std::string::npos ? std::string() : step.substr(after_source + 1);
    const auto text = kind == "message_unreadable" ? FakeWebMessageArgs::Text::failing
                      : kind == "message_null"     ? FakeWebMessageArgs::Text::none
                                                   : FakeWebMessageArgs::Text::given;
    auto* args = new FakeWebMessageArgs(text_or_none(source), wide(json), text);
    for (ICoreWebView2WebMessageReceivedEventHandler* handler : message_handlers) {
        log_line("webview WebMessageReceived returned " + hex(handler->Invoke(this, args)));
    }
    args->Release();
    return true;
}

bool FakeWebView::raise_navigation(const std::string& uri, const std::string& initiator) {
    const std::optional<Initiator> who = initiator_of(initiator);
    if (!who) {
        return false;
    }
    auto* args = new FakeNavigationArgs(text_or_none(uri), *who);
    for (ICoreWebView2NavigationStartingEventHandler* handler : navigation_handlers) {
        log_line("webview NavigationStarting returned " + hex(handler->Invoke(this, args)));
    }
    const bool allowed = !args->cancelled();
    log_line("navigation " + uri + (allowed ? " allowed" : " cancelled"));
    args->Release();
    return allowed;
}

bool FakeWebView::raise_new_window(const std::string& uri, const std::string& initiator) {
    const std::optional<Initiator> who = initiator_of(initiator);
    if (!who) {
        return false;
    }
    auto* args = new FakeNewWindowArgs(text_or_none(uri), *who);
    for (ICoreWebView2NewWindowRequestedEventHandler* handler : new_window_handlers) {
        log_line("webview NewWindowRequested returned " + hex(handler->Invoke(this, args)));
    }
    log_line("new window " + uri + (args->handled() ? " handled" : " not handled"));
    args->Release();
    return true;
}

}  // namespace fake_browser_view
