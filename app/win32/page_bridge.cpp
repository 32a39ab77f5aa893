#include "app/win32/page_bridge.h"

#include <string_view>
#include <thread>
#include <utility>

#include "app/bridge/page_host.h"
#include "app/bridge/reply.h"
#include "app/bridge/web_message.h"
#include "app/win32/com_object.h"
#include "app/win32/system_handles.h"
#include "app/win32/text_conversion.h"
#include "weather/operations.h"

namespace host {
namespace {

using Channel = bridge::ReplyChannel<HWND, std::wstring>;

// Never destroyed: workers are not joined, so one may still use it while the process runs its
// exit-time destructors.
const Channel& reply_channel() {
    static const Channel& channel =
        *new Channel{&weather::run_operation, [](std::string utf8) { return utf8_to_wide(utf8); },
                     &post_reply_message};
    return channel;
}

}  // namespace

win32::ComPtr<ICoreWebView2WebMessageReceivedEventHandler> make_web_message_handler(
    Application* application) {
    return win32::make_com_object<ICoreWebView2WebMessageReceivedEventHandler>(
        [application](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
            application->handle_web_message(args);
        });
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
    if (!source.starts_with(bridge::page_prefix_wide)) {
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
        [this](bridge::PageRequest&& request) { start_worker(state, std::move(request)); });
    if (reply) {
        post_reply(*reply);
    }
}

void Application::post_reply(const nlohmann::json& reply) {
    if (!webview) {
        return;
    }
    const std::wstring text = utf8_to_wide(bridge::serialise_reply(reply));
    (void)webview->PostWebMessageAsJson(text.c_str());
}

bool post_reply_message(HWND window, std::wstring* text) {
    return PostMessageW(window, reply_message, 0, reinterpret_cast<LPARAM>(text)) != FALSE;
}

void run_request(bridge::WorkerClosure<HWND> closure) noexcept {
    bridge::run_request(std::move(closure), reply_channel());
}

void start_worker(std::shared_ptr<AsyncState> state, bridge::PageRequest&& request) {
    std::thread([closure =
                     bridge::WorkerClosure<HWND>{std::move(state), std::move(request)}]() mutable {
        run_request(std::move(closure));
    }).detach();
}

}  // namespace host
