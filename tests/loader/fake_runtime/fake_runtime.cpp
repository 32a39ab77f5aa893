// A stand-in for the WebView2 runtime's client library, EmbeddedBrowserWebView.dll. What its
// creation export does is chosen by the test through CORVANE_FAKE_RUNTIME_SCENARIO, read at each
// call; every call is logged to the file named by CORVANE_FAKE_RUNTIME_LOG.

#include <cstdio>
#include <string>

#include <windows.h>

#include "tests/win32/fake_browser_view/browser_script.h"
#include "tests/win32/fake_browser_view/call_log.h"
#include "tests/win32/fake_browser_view/delivery.h"
#include "tests/win32/fake_browser_view/fake_environment.h"
#include "tests/win32/fake_browser_view/string_tracker.h"
#include "win32/webview2.h"

namespace fake_runtime {
namespace {

using namespace fake_browser_view;

// An object that is no environment: only IUnknown.
class PlainObject final : public FakeObject<IUnknown> {
public:
    PlainObject() : FakeObject("object") {}
};

using Handler = ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;

// Later failures this runtime reports.
constexpr HRESULT later_failure = E_INVALIDARG;
constexpr HRESULT rejected = static_cast<HRESULT>(0x80040200);
constexpr HRESULT failure_now = E_FAIL;

std::string scenario() {
    char value[64] = {};
    const DWORD length =
        GetEnvironmentVariableA("CORVANE_FAKE_RUNTIME_SCENARIO", value, sizeof(value));
    return length > 0 && length < sizeof(value) ? std::string(value) : std::string("succeed");
}

// The real runtime keeps itself loaded while it has work pending; so does the fake once it has
// posted a call for later, since the loader may free it as soon as the export returns.
void stay_loaded() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&stay_loaded), &self);
}

HRESULT later(Handler* handler, HRESULT result, IUnknown* created) {
    stay_loaded();
    const HRESULT hr = deliver_later(handler, result, created);
    if (created) {
        created->Release();  // deliver_later holds its own reference
    }
    return hr;
}

[[maybe_unused]] HRESULT create(INT32 always_one, INT32 kind, PCWSTR user_data_folder,
                                ICoreWebView2EnvironmentOptions* options, Handler* handler) {
    char line[512];
    std::snprintf(line, sizeof(line), "create first=%d kind=%d user_data=%s options=%s handler=%s",
                  static_cast<int>(always_one), static_cast<int>(kind),
                  utf8(user_data_folder).c_str(), options ? "set" : "(null)",
                  handler ? "set" : "(null)");
    log_line(line);
    if (handler == nullptr) {
        return E_POINTER;
    }
    const int call = logged_calls();  // 1 for the first call of this log
    const std::string chosen = scenario();
    if (browser_script().close_before == "environment") {
        close_host_window();
    }
    if (chosen == "succeed") {
        return later(handler, S_OK, new FakeEnvironment);
    }
    if (chosen == "fail_now") {
        return failure_now;
    }
    if (chosen == "fail_now_once") {
        return call == 1 ? failure_now : later(handler, S_OK, new FakeEnvironment);
    }
    if (chosen == "fail_later_once") {
        return call == 1 ? later(handler, later_failure, nullptr)
                         : later(handler, S_OK, new FakeEnvironment);
    }
    if (chosen == "fail_later_always") {
        return later(handler, later_failure, nullptr);
    }
    if (chosen == "fail_later_then_fail_now") {
        return call == 1 ? later(handler, later_failure, nullptr) : failure_now;
    }
    if (chosen == "reject_later") {
        return later(handler, rejected, nullptr);
    }
    if (chosen == "reject_later_with_object") {
        return later(handler, rejected, new FakeEnvironment);
    }
    if (chosen == "not_environment") {
        return later(handler, S_OK, new PlainObject);
    }
    if (chosen == "succeed_without_object") {
        return later(handler, S_OK, nullptr);
    }
    log_line("unknown scenario " + chosen);
    return E_UNEXPECTED;
}

}  // namespace
}  // namespace fake_runtime

// At process exit, after a browser view was asked for: what is still alive, and whether every
// text handed out was freed exactly once.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr &&
        fake_browser_view::browser_view_requested.load()) {
        const fake_browser_view::StringCounts strings = fake_browser_view::string_counts();
        fake_browser_view::log_line(
            "exit: objects alive " + std::to_string(win32::live_com_objects.load()) +
            ", strings given " + std::to_string(strings.given) + ", freed " +
            std::to_string(strings.freed) + ", freed twice " + std::to_string(strings.freed_twice));
    }
    return TRUE;
}

#if defined(FAKE_RUNTIME_EXPORTS_CREATE)
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    INT32 always_one, INT32 runtime_kind, PCWSTR user_data_folder,
    ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
    return fake_runtime::create(always_one, runtime_kind, user_data_folder, options, handler);
}
#endif

#if defined(FAKE_RUNTIME_EXPORTS_UNLOAD)
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}
#endif

#if defined(FAKE_RUNTIME_NEEDS_ABSENT_DEPENDENCY)
// Imported from a library that is never deployed beside this one, so loading fails.
extern "C" __declspec(dllimport) int corvane_absent_dependency();
extern "C" __declspec(dllexport) int corvane_use_absent_dependency() {
    return corvane_absent_dependency();
}
#endif
