#pragma once

#include <string>

#include <windows.h>

#include "loader/environment_request.h"
#include "win32/webview2.h"

namespace loader {

using EnvironmentCompletedHandler = ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;

// Runtime failure that a retry cannot cure; forwarded at once.
inline constexpr HRESULT runtime_failure_not_retried = static_cast<HRESULT>(0x80040200);

// Runtime kinds passed to the runtime's creation export.
inline constexpr INT32 runtime_kind_installed = 0;
inline constexpr INT32 runtime_kind_fixed_folder = 1;
inline constexpr INT32 runtime_kind_edge_view = 2;

// The creation export of the runtime's client library.
using CreateEnvironmentExport = HRESULT(STDAPICALLTYPE*)(INT32 always_one, INT32 runtime_kind,
                                                         PCWSTR user_data_folder,
                                                         ICoreWebView2EnvironmentOptions* options,
                                                         EnvironmentCompletedHandler* handler);

// One creation attempt: find the client library for `request` and hand the request to it,
// with `relay` as the runtime's completion handler.
[[nodiscard]] HRESULT attempt(const EnvironmentRequest& request,
                              EnvironmentCompletedHandler* relay);

// Loads the client library, calls its creation export and lets it go again when it says it can
// be unloaded.
[[nodiscard]] HRESULT load_and_create(const std::wstring& dll_path, INT32 runtime_kind,
                                      const wchar_t* user_data_folder,
                                      ICoreWebView2EnvironmentOptions* options,
                                      EnvironmentCompletedHandler* relay);

// The whole entry after its argument check.
[[nodiscard]] HRESULT create_environment(const wchar_t* browser_folder,
                                         const wchar_t* user_data_folder,
                                         ICoreWebView2EnvironmentOptions* options,
                                         EnvironmentCompletedHandler* handler);

// Eight upper-case hexadecimal digits, most significant first.
std::wstring format_hresult_hex(HRESULT hr);

// HRESULT_FROM_WIN32 of a last-error value; a failure in every case, since a last error of 0
// after a failed call must not turn into success.
[[nodiscard]] HRESULT hresult_from_last_error(DWORD error);

}  // namespace loader
