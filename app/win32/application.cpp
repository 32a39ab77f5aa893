#include "app/win32/application.h"

#include <memory>
#include <mutex>
#include <string>

namespace host {

void Application::shutdown() {
    // This order is the whole guarantee that no reply is posted after the drain and none
    // reaches a destroyed window: workers post only under the mutex and only to a set window.
    state->closing.exchange(true);
    {
        std::lock_guard lock(state->mutex);
        state->window = nullptr;
    }
    MSG message;
    while (PeekMessageW(&message, window, reply_message, reply_message, PM_REMOVE)) {
        delete reinterpret_cast<std::wstring*>(message.lParam);
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

void deliver_reply(const Application* application, LPARAM text) {
    const std::unique_ptr<std::wstring> reply(reinterpret_cast<std::wstring*>(text));
    if (reply && application && application->webview) {
        (void)application->webview->PostWebMessageAsJson(reply->c_str());
    }
}

}  // namespace host
