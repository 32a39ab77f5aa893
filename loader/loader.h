#pragma once

// The runtime loader's one public entry; everything else under loader/ is its own.

#include "win32/webview2.h"

// Creates a browser environment from an installed WebView2 runtime. On S_OK the handler is called
// later, exactly once, with the outcome; on a failure it is never called. E_POINTER for a null
// handler; 0x80070002 when no runtime is found; otherwise the failure of loading or calling the
// runtime's client library.
STDAPI CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browser_executable_folder, PCWSTR user_data_folder,
    ICoreWebView2EnvironmentOptions* environment_options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environment_created_handler);
