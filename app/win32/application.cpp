#include "app/win32/application.h"

#include <deque>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the view takes UTF-16 text as wchar_t");

namespace host {

Application::~Application() {
    if (state) {
        state->close();
    }
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

void Application::deliver_replies() {
    const std::deque<bridge::ReplyText> replies = state->take_replies();
    if (!webview) {
        return;
    }
    for (const bridge::ReplyText& reply : replies) {
        (void)webview->PostWebMessageAsJson(reinterpret_cast<const wchar_t*>(reply.c_str()));
    }
}

bool Application::ring() noexcept {
    return PostMessageW(window, reply_message, 0, 0) != FALSE;
}

}  // namespace host
