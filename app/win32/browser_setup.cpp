// The browser view's creation: the environment request and the two completion handlers that
// turn the empty main window into the map (controller, configuration, navigation). Every
// failure is shown once in a box owned by the main window; nothing retries.

#include "app/win32/browser_setup.h"

#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "app/host_rules.h"
#include "app/win32/error_box.h"
#include "app/win32/navigation_policy.h"
#include "app/win32/page_bridge.h"
#include "app/win32/page_host.h"
#include "loader/loader.h"
#include "win32/com_object.h"
#include "win32/system_handles.h"

namespace win32_host {
namespace {

constexpr wchar_t runtime_not_started[] = L"Could not start the Microsoft Edge WebView2 Runtime.";
constexpr wchar_t runtime_required[] =
    L"Microsoft Edge WebView2 Runtime is required. Install the free Evergreen Runtime from "
    L"https://developer.microsoft.com/microsoft-edge/webview2/ and reopen the app.";
constexpr wchar_t map_window_failed[] = L"Could not create the map window.";
constexpr wchar_t runtime_too_old[] =
    L"This WebView2 Runtime is too old. Update Microsoft Edge WebView2 and reopen the app.";

// What each completion handler carries: its own copies, and a share of the state so that it
// outlives a pending handler.
struct HandlerCapture {
    Application* application;
    std::wstring web_folder;
    std::shared_ptr<AsyncState> state;
};

// Runs one completion handler's work. Whatever it throws ends the set-up with the map-window box
// (memory running out the most likely cause); the runtime gets S_OK in every case.
template <typename Work>
HRESULT run_setup_step(const Application& application, Work work) noexcept {
    try {
        work();
    } catch (...) {
        try {
            show_error(application.window, map_window_failed, win32::current_exception_hresult());
        } catch (...) {
        }
    }
    return S_OK;
}

// Configures the stored view and navigates it to the map. The event handlers are made first: a
// view that cannot get them is left as it is, unmapped, with the box.
void configure_browser_view(Application& application, const std::wstring& web_folder) {
    const auto message_handler = make_web_message_handler(&application);
    const auto navigation_handler = make_navigation_starting_handler();
    const auto new_window_handler = make_new_window_handler();
    if (!message_handler || !navigation_handler || !new_window_handler) {
        show_error(application.window, map_window_failed, E_OUTOFMEMORY);
        return;
    }

    const auto view = application.webview.try_query<ICoreWebView2_3>();
    if (!view) {
        show_error(application.window, runtime_too_old, 0);
        return;
    }
    if (FAILED(view->SetVirtualHostNameToFolderMapping(
            page_host_wide, web_folder.c_str(),
            COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_DENY_CORS))) {
        show_error(application.window, runtime_too_old, 0);
        return;
    }

    win32::ComPtr<ICoreWebView2Settings> settings;
    (void)application.webview->get_Settings(settings.put());
    if (settings) {
        (void)settings->put_IsStatusBarEnabled(FALSE);
    }
    if (const auto settings2 = settings.try_query<ICoreWebView2Settings2>()) {
        win32::UniqueCoTaskString default_agent;
        (void)settings2->get_UserAgent(default_agent.put());
        std::wstring agent = default_agent ? default_agent.get() : L"";
        agent += host::user_agent_token_wide.view();
        (void)settings2->put_UserAgent(agent.c_str());
    }

    // Registered for the life of the view; the tokens are not kept, and our references go as
    // soon as the view holds its own.
    EventRegistrationToken token{};
    (void)application.webview->add_WebMessageReceived(message_handler.get(), &token);
    (void)application.webview->add_NavigationStarting(navigation_handler.get(), &token);
    (void)application.webview->add_NewWindowRequested(new_window_handler.get(), &token);

    application.resize_browser();
    (void)application.controller->put_IsVisible(TRUE);
    (void)application.webview->Navigate(start_address_wide);
}

// Later, on the UI thread, once per environment request.
void on_controller_created(const HandlerCapture& capture, HRESULT result,
                           ICoreWebView2Controller* controller) {
    if (capture.state->closing.load()) {
        return;  // the window is closing: the offered controller is not kept
    }
    Application& application = *capture.application;
    if (FAILED(result) || controller == nullptr) {
        show_error(application.window, map_window_failed, result);
        return;
    }
    application.controller = win32::ComPtr<ICoreWebView2Controller>(controller);
    application.webview.reset();
    (void)controller->get_CoreWebView2(application.webview.put());
    configure_browser_view(application, capture.web_folder);
}

// Later, on the UI thread, once.
void on_environment_created(const HandlerCapture& capture, HRESULT result,
                            ICoreWebView2Environment* environment) {
    if (capture.state->closing.load()) {
        return;
    }
    Application& application = *capture.application;
    if (FAILED(result) || environment == nullptr) {
        show_error(application.window, runtime_required, result);
        return;
    }
    auto handler =
        win32::make_com_object<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
            [capture](HRESULT created, ICoreWebView2Controller* controller) noexcept {
                return run_setup_step(*capture.application,
                                      [&] { on_controller_created(capture, created, controller); });
            });
    if (!handler) {
        show_error(application.window, map_window_failed, E_OUTOFMEMORY);
        return;
    }
    // A controller request the runtime refuses at once ends the set-up without a box.
    (void)environment->CreateCoreWebView2Controller(application.window, handler.get());
}

}  // namespace

void create_browser_view(Application& application, const std::filesystem::path& web_folder,
                         const std::filesystem::path& user_data_folder) {
    HandlerCapture capture{&application, web_folder.wstring(), application.state};
    auto handler =
        win32::make_com_object<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
            [capture = std::move(capture)](HRESULT result,
                                           ICoreWebView2Environment* environment) noexcept {
                return run_setup_step(*capture.application, [&] {
                    on_environment_created(capture, result, environment);
                });
            });
    if (!handler) {
        throw std::bad_alloc();  // before any view exists: the entry function reports it
    }
    const HRESULT requested = CreateCoreWebView2EnvironmentWithOptions(
        nullptr, user_data_folder.c_str(), nullptr, handler.get());
    handler.reset();
    if (FAILED(requested)) {
        show_error(application.window, runtime_not_started, requested);
    }
}

}  // namespace win32_host
