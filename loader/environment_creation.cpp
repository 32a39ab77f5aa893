#include "loader/environment_creation.h"

#include "loader/loader.h"

#include <new>
#include <optional>
#include <utility>

#include "loader/caller_options.h"
#include "loader/debug_output.h"
#include "loader/overrides.h"
#include "loader/runtime_search.h"
#include "loader/telemetry.h"
#include "win32/com_object.h"
#include "win32/com_ptr.h"
#include "win32/system_handles.h"

namespace loader {
namespace {

constexpr wchar_t missing_binaries_hint[] =
    L"\nWebView2: This error (0x8007007E) typically indicates missing binaries or an architecture "
    L"mismatch. Please ensure the correct binaries (EmbeddedBrowserWebView.dll, etc.) for the "
    L"target architecture (x86/x64/ARM64) are deployed";

std::optional<std::wstring> copy_text(const wchar_t* text) {
    return text ? std::optional<std::wstring>(text) : std::nullopt;
}

const wchar_t* text_or_null(const std::optional<std::wstring>& text) {
    return text ? text->c_str() : nullptr;
}

// The handler the runtime calls: retries once after a runtime failure, then converts the result
// to the environment interface and passes it to the caller's handler. It owns copies of the
// request's texts, so a retry after the entry has returned still has them.
class CompletionRelay {
public:
    CompletionRelay(const EnvironmentRequest& request, EnvironmentCompletedHandler* handler)
        : request(request),
          browser_folder(copy_text(request.browser_folder)),
          exact_version_folder(copy_text(request.exact_version_folder)),
          user_data_folder(copy_text(request.user_data_folder)),
          options(request.options),
          handler(handler) {}

    // Runs on whatever thread the runtime calls back on.
    HRESULT operator()(EnvironmentCompletedHandler* self, HRESULT result,
                       ICoreWebView2Environment* created) {
        if (FAILED(result) && result != runtime_failure_not_retried && retries_left > 0) {
            --retries_left;
            // A successful retry reaches the caller later, when the runtime calls us again.
            if (const HRESULT retry = attempt(current_request(), self); FAILED(retry)) {
                (void)handler->Invoke(retry, nullptr);
            }
            return S_OK;
        }
        if (FAILED(result) || created == nullptr) {
            // A failure goes on with no object, even if the runtime offered one.
            (void)handler->Invoke(result, nullptr);
            return S_OK;
        }
        win32::ComPtr<ICoreWebView2Environment> environment;
        const HRESULT query =
            created->QueryInterface(IID_ICoreWebView2Environment, environment.put_void());
        if (FAILED(query)) {
            environment.reset();
        }
        (void)handler->Invoke(query, environment.get());
        return S_OK;
    }

    // The request as resolved at the entry, pointing into this relay's own texts.
    EnvironmentRequest current_request() const {
        EnvironmentRequest current = request;
        current.browser_folder = text_or_null(browser_folder);
        current.exact_version_folder = text_or_null(exact_version_folder);
        current.user_data_folder = text_or_null(user_data_folder);
        current.options = options.get();
        return current;
    }

private:
    EnvironmentRequest request;
    std::optional<std::wstring> browser_folder;
    std::optional<std::wstring> exact_version_folder;
    std::optional<std::wstring> user_data_folder;
    win32::ComPtr<ICoreWebView2EnvironmentOptions> options;
    win32::ComPtr<EnvironmentCompletedHandler> handler;
    int retries_left = 1;
};

}  // namespace

std::wstring format_hresult_hex(HRESULT hr) {
    static constexpr wchar_t digits[] = L"0123456789ABCDEF";
    const auto value = static_cast<std::uint32_t>(hr);
    std::wstring text(8, L'0');
    for (int i = 0; i < 8; ++i) {
        text[7 - i] = digits[(value >> (4 * i)) & 0xF];
    }
    return text;
}

HRESULT hresult_from_last_error(DWORD error) {
    const HRESULT hr = HRESULT_FROM_WIN32(error);
    return SUCCEEDED(hr) ? E_FAIL : hr;
}

HRESULT load_and_create(const std::wstring& dll_path, INT32 runtime_kind,
                        const wchar_t* user_data_folder, ICoreWebView2EnvironmentOptions* options,
                        EnvironmentCompletedHandler* relay) {
    win32::UniqueModule library(LoadLibraryW(dll_path.c_str()));
    if (!library) {
        const HRESULT hr = hresult_from_last_error(GetLastError());
        std::wstring text =
            L"WebView2: CoreWebView2Environment failed when trying to LoadLibrary: hr=0x" +
            format_hresult_hex(hr) + L" path=" + dll_path;
        if (hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)) {
            text += missing_binaries_hint;
        }
        text += L"\n";
        debug_text(text);
        return hr;
    }
    HRESULT hr;
    const auto create = win32::find_function<CreateEnvironmentExport>(
        library.get(), "CreateWebViewEnvironmentWithOptionsInternal");
    if (create == nullptr) {
        hr = hresult_from_last_error(GetLastError());
        const std::wstring text =
            L"WebView2: CoreWebView2Environment failed when trying to call into "
            L"EmbeddedBrowserWebView.dll. hr=0x" +
            format_hresult_hex(hr) + L"\n";
        debug_text(text);
    } else {
        hr = create(1, runtime_kind, user_data_folder, options, relay);
    }
    // A library without "DllCanUnloadNow" cannot say when it is idle, so it stays loaded.
    if (win32::find_function<FARPROC>(library.get(), "DllCanUnloadNow") == nullptr) {
        library.release();
    }
    return hr;
}

HRESULT attempt(const EnvironmentRequest& request, EnvironmentCompletedHandler* relay) {
    const wchar_t* folder =
        request.exact_version_folder ? request.exact_version_folder : request.browser_folder;
    std::wstring dll_path;
    HRESULT found;
    INT32 kind;
    if (folder != nullptr && folder[0] != L'\0') {
        found = client_dll_in_folder(folder, dll_path);
        kind = request.use_edge_view ? runtime_kind_edge_view : runtime_kind_fixed_folder;
    } else {
        found = find_installed_runtime(request, dll_path);
        kind = request.use_edge_view ? runtime_kind_edge_view : runtime_kind_installed;
    }
    const HRESULT hr = SUCCEEDED(found) ? load_and_create(dll_path, kind, request.user_data_folder,
                                                          request.options, relay)
                                        : found;
    if (FAILED(hr) && !request.use_edge_view) {
        report_creation_error(hr, SUCCEEDED(found), kind == runtime_kind_installed);
    }
    return hr;
}

HRESULT create_environment(const wchar_t* browser_folder, const wchar_t* user_data_folder,
                           ICoreWebView2EnvironmentOptions* options,
                           EnvironmentCompletedHandler* handler) {
    EnvironmentRequest request;
    request.browser_folder = browser_folder;
    request.user_data_folder = user_data_folder;
    request.options = options;
    OverrideStrings strings;
    request.use_edge_view = options_use_edge_view(options);
    resolve_overrides(request, strings);
    apply_option_channels(options, request);

    auto relay =
        win32::make_com_object<EnvironmentCompletedHandler>(CompletionRelay(request, handler));
    if (!relay) {
        return E_OUTOFMEMORY;  // there is no handler to give the runtime
    }
    HRESULT hr = attempt(request, relay.get());
    if (FAILED(hr)) {
        hr = attempt(request, relay.get());
    }
    return hr;
}

}  // namespace loader

STDAPI CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browser_executable_folder, PCWSTR user_data_folder,
    ICoreWebView2EnvironmentOptions* environment_options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environment_created_handler) {
    if (environment_created_handler == nullptr) {
        return E_POINTER;
    }
    // Nothing may unwind into the caller, who may not be C++ at all.
    try {
        return loader::create_environment(browser_executable_folder, user_data_folder,
                                          environment_options, environment_created_handler);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
