#pragma once

// The desktop host's application object and the state it shares with request threads. Internal
// to the host: the entry function, the window procedure, the browser-view handlers and the
// host's tests use it.

#include <memory>

#include <windows.h>

#include <nlohmann/json.hpp>

#include "app/bridge/async_state.h"
#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace host {

using AsyncState = bridge::BasicAsyncState<HWND>;

// Carries one serialised reply to the main window. wParam is 0; lParam points to a heap
// std::wstring that belongs to whoever removes the message from the queue.
inline constexpr UINT reply_message = WM_APP + 1;

// The one application object. It lives in the entry function's frame for the whole run; the
// window procedure and the browser-view handlers hold plain pointers to it. UI thread only.
struct Application {
    HWND window = nullptr;  // set on WM_NCCREATE, never cleared
    win32::ComPtr<ICoreWebView2Controller> controller;
    win32::ComPtr<ICoreWebView2> webview;
    std::shared_ptr<AsyncState> state;

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
};

// The reply_message branch of the window procedure: hands the text to the browser view if
// there is one, then frees it in every case. UI thread only.
void deliver_reply(const Application* application, LPARAM text);

}  // namespace host
