#pragma once

#include <functional>

#include <windows.h>

#include "win32/webview2.h"

namespace fake_browser_view {

// Calls `handler` with (`result`, `created`) later, from the message loop of the calling thread,
// as the real runtime does: the call is posted to a message-only window of this thread. The
// handler and the object are held until then and released right after the call.
[[nodiscard]] HRESULT deliver_later(
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler, HRESULT result,
    IUnknown* created);

// Runs `call` later, from the message loop of the calling thread, as the runtime runs its
// completions and events.
[[nodiscard]] HRESULT call_later(std::function<void()> call);

}  // namespace fake_browser_view
