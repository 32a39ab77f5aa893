#pragma once

// The Windows side of the page bridge: the web-message handler object, and the request
// executor's reply channel over reply_message.

#include <memory>
#include <string>

#include <windows.h>

#include "app/bridge/request_executor.h"
#include "app/win32/application.h"
#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace host {

// The WebMessageReceived handler: calls handle_web_message of `application` and returns S_OK.
// Empty when memory runs out.
win32::ComPtr<ICoreWebView2WebMessageReceivedEventHandler> make_web_message_handler(
    Application* application);

// Any worker thread, under the state's mutex: queues `text` to `window` as reply_message;
// true when the message now owns it.
bool post_reply_message(HWND window, std::wstring* text);

// Body of one request's worker thread: forms the reply, posts it while the window is set,
// releases the slot; frees the text itself when it was not posted. Nothing escapes.
void run_request(bridge::WorkerClosure<HWND> closure) noexcept;

// UI thread: starts the detached worker of an accepted request whose slot is reserved. Throws
// std::system_error when no thread can be created.
void start_worker(std::shared_ptr<AsyncState> state, bridge::PageRequest&& request);

}  // namespace host
