#pragma once

#include <string>
#include <utility>

#include <objbase.h>

#include "win32/webview2.h"

namespace host_test {

// A web message from the page as the runtime delivers it, with its texts from CoTaskMemAlloc.
// Lives on the stack: the handler under test neither keeps nor releases it.
class MessageArgs final : public ICoreWebView2WebMessageReceivedEventArgs {
public:
    explicit MessageArgs(std::wstring json) : json(std::move(json)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* out) override {
        *out = copy(L"https://corvane-weather.example/index.html");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* out) override {
        *out = copy(json);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR*) override { return E_NOTIMPL; }

private:
    static LPWSTR copy(const std::wstring& text) {
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        auto* block = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        CopyMemory(block, text.c_str(), bytes);
        return block;
    }
    std::wstring json;
};

}  // namespace host_test
