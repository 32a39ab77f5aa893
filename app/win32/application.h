#pragma once

// The desktop host's application object and the state it shares with request threads. Internal
// to the host: the entry function, the window procedure, the browser-view handlers and the
// host's tests use it.

#include <memory>
#include <string>

#include <windows.h>

#include <nlohmann/json.hpp>

#include "app/bridge/async_state.h"
#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace win32_host {

// WebView2 takes each reply as UTF-16 text.
using ReplyText = std::u16string;
using AsyncState = bridge::AsyncState<ReplyText>;

// Tells the main window that replies wait in the shared state. It carries nothing: any program
// on the desktop can post this number, so neither parameter is ever read.
inline constexpr UINT reply_message = WM_APP + 1;

// The one application object. It lives in the entry function's frame for the whole run; the
// window procedure and the browser-view handlers hold plain pointers to it. UI thread only,
// but for request_delivery.
struct Application final : bridge::ReplySink {
    HWND window = nullptr;  // set on WM_NCCREATE, never cleared
    win32::ComPtr<ICoreWebView2Controller> controller;
    win32::ComPtr<ICoreWebView2> webview;
    std::shared_ptr<AsyncState> state;

    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    // Closes the reply path, so no worker ever reaches a destroyed application.
    ~Application();

    // On WM_CREATE: checks the web folder and starts creating the browser view; failures are
    // shown in a box, file-system errors propagate as exceptions.
    void initialize();
    // Stops reply delivery and the browser view; safe to call again.
    void shutdown();
    // Fits the browser view to the client area, if there is a view.
    void resize_browser();
    // Checks one web message from the page and answers it at once or starts its worker.
    void handle_web_message(ICoreWebView2WebMessageReceivedEventArgs* args);
    // Serialises `reply` and posts it to the page; nothing without a browser view.
    void post_reply(const nlohmann::json& reply);
    // The reply_message branch of the window procedure: hands every queued reply to the
    // browser view, or drops them when there is none.
    void deliver_replies();

    // Any worker, under the state's lock: posts reply_message to the window.
    bool request_delivery() noexcept override;
};

}  // namespace win32_host
