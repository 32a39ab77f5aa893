// Every member of Application: its start on WM_CREATE, the page's messages and replies, the
// view's size, and the stop.

#include "app/win32/application.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"
#include "app/host_rules.h"
#include "app/win32/browser_setup.h"
#include "app/win32/error_box.h"
#include "app/win32/folders.h"
#include "app/win32/page_bridge.h"
#include "app/win32/page_host.h"
#include "app/win32/text_conversion.h"
#include "win32/system_handles.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the view takes UTF-16 text as wchar_t");

namespace win32_host {

Application::~Application() {
    if (state) {
        state->close();
    }
}

void Application::initialize() {
    state->open(*this);  // replies go to this window from now on

    const std::filesystem::path web_folder = executable_folder() / L"web";
    if (!file_exists(web_folder / L"index.html")) {
        const std::wstring missing = utf8_to_wide(
            host::missing_web_folder_text("CorvaneWeather.exe", "rebuild using build.ps1"));
        show_error(window, missing.c_str(), 0);
        return;
    }
    const std::filesystem::path user_data = user_data_root() / L"WebView2";

    create_browser_view(*this, web_folder, user_data);
}

void Application::shutdown() {
    // After close() no worker queues a reply or rings, whatever it finishes with; replies not
    // yet delivered are freed. The wake-ups still queued for the window carry nothing.
    state->close();
    if (window != nullptr) {
        MSG message;
        while (PeekMessageW(&message, window, reply_message, reply_message, PM_REMOVE)) {
        }
    }
    if (controller) {
        (void)controller->Close();
    }
    webview.reset();
    controller.reset();
}

void Application::resize_browser() {
    if (!controller) {
        return;
    }
    RECT bounds{};
    if (!GetClientRect(window, &bounds)) {
        bounds = RECT{};
    }
    (void)controller->put_Bounds(bounds);
}

void Application::handle_web_message(ICoreWebView2WebMessageReceivedEventArgs* args) {
    // The origin is checked before the text is even read, so foreign messages cost nothing.
    std::wstring source;
    {
        win32::UniqueCoTaskString uri;
        (void)args->get_Source(uri.put());
        if (uri) {
            source = uri.get();
        }
    }
    if (!source.starts_with(page_prefix_wide)) {
        return;
    }

    std::string message;
    {
        win32::UniqueCoTaskString json;
        if (FAILED(args->get_WebMessageAsJson(json.put())) || !json) {
            return;
        }
        message = wide_to_utf8(json.get());
    }

    const std::optional<nlohmann::json> reply = bridge::accept_web_message(
        wide_to_utf8(source), message, state->active_requests,
        [this](bridge::PageRequest&& request) { start_worker(state, std::move(request)); },
        page_prefix);
    if (reply) {
        post_reply(*reply);
    }
}

void Application::post_reply(const nlohmann::json& reply) {
    if (!webview) {
        return;
    }
    const std::wstring text = utf8_to_wide(bridge::reply_json_text(reply));
    (void)webview->PostWebMessageAsJson(text.c_str());
}

void Application::deliver_replies() {
    const std::deque<ReplyText> replies = state->take_replies();
    if (!webview) {
        return;
    }
    for (const ReplyText& reply : replies) {
        (void)webview->PostWebMessageAsJson(reinterpret_cast<const wchar_t*>(reply.c_str()));
    }
}

bool Application::request_delivery() noexcept {
    return PostMessageW(window, reply_message, 0, 0) != FALSE;
}

}  // namespace win32_host
