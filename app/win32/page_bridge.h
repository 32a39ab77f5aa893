#pragma once

// The Windows side of the page bridge: the web-message handler object and the request workers.

#include <memory>
#include <string>

#include <windows.h>

#include "app/bridge/request_executor.h"
#include "app/win32/application.h"
#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace win32_host {

// The WebMessageReceived handler: calls handle_web_message of `application` and returns S_OK.
// Empty when memory runs out.
win32::ComPtr<ICoreWebView2WebMessageReceivedEventHandler> make_web_message_handler(
    Application* application);

// UI thread: starts the detached worker of an accepted request whose slot is reserved. Throws
// std::system_error when no thread can be created.
void start_worker(std::shared_ptr<AsyncState> state, bridge::PageRequest&& request);

}  // namespace win32_host
