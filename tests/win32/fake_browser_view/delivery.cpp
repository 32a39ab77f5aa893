#include "delivery.h"

#include <cstdio>
#include <memory>

#include "call_log.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this library's own module

namespace fake_browser_view {
namespace {

constexpr UINT deliver_message = WM_APP + 7;
constexpr UINT call_message = WM_APP + 8;
constexpr wchar_t window_class[] = L"CorvaneFakeRuntimeDelivery";

struct Delivery {
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler;
    HRESULT result;
    IUnknown* created;
};

LRESULT CALLBACK delivery_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == call_message) {
        const std::unique_ptr<std::function<void()>> call(
            reinterpret_cast<std::function<void()>*>(lparam));
        (*call)();
        return 0;
    }
    if (message != deliver_message) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    auto* delivery = reinterpret_cast<Delivery*>(lparam);
    char line[64];
    std::snprintf(line, sizeof(line), "deliver 0x%08lX %s",
                  static_cast<unsigned long>(delivery->result),
                  delivery->created ? "object" : "(null)");
    log_line(line);
    // What is passed is an ICoreWebView2Environment* by type; the relay checks what it really is.
    delivery->handler->Invoke(delivery->result,
                              reinterpret_cast<ICoreWebView2Environment*>(delivery->created));
    delivery->handler->Release();
    if (delivery->created) {
        delivery->created->Release();
    }
    delete delivery;
    return 0;
}

HWND thread_window() {
    thread_local HWND window = nullptr;
    if (window == nullptr) {
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = &delivery_procedure;
        description.hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
        description.lpszClassName = window_class;
        RegisterClassExW(&description);  // fails harmlessly when already registered
        window = CreateWindowExW(0, window_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 description.hInstance, nullptr);
    }
    return window;
}

}  // namespace

HRESULT deliver_later(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                      HRESULT result, IUnknown* created) {
    const HWND window = thread_window();
    if (window == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    handler->AddRef();
    if (created) {
        created->AddRef();
    }
    auto* delivery = new Delivery{handler, result, created};
    if (!PostMessageW(window, deliver_message, 0, reinterpret_cast<LPARAM>(delivery))) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        handler->Release();
        if (created) {
            created->Release();
        }
        delete delivery;
        return hr;
    }
    return S_OK;
}

HRESULT call_later(std::function<void()> call) {
    const HWND window = thread_window();
    if (window == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    auto pending = std::make_unique<std::function<void()>>(std::move(call));
    if (!PostMessageW(window, call_message, 0, reinterpret_cast<LPARAM>(pending.get()))) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    pending.release();  // now the message's
    return S_OK;
}

}  // namespace fake_browser_view
