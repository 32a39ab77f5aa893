#pragma once

#include <gtest/gtest.h>

#include "loader/option_interfaces.h"
#include "win32/webview2.h"

namespace loader_test {

// An options object offering both option interfaces, with settable answers.
class FakeOptions : public ICoreWebView2EnvironmentOptions,
                    public loader::EdgeViewOption,
                    public loader::ChannelOptions {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ICoreWebView2EnvironmentOptions) {
            *out = static_cast<ICoreWebView2EnvironmentOptions*>(this);
        } else if (iid == loader::edge_view_option_iid && offer_edge_view) {
            *out = static_cast<loader::EdgeViewOption*>(this);
        } else if (iid == loader::channel_options_iid && offer_channels) {
            *out = static_cast<loader::ChannelOptions*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ++references;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_use_edge_view(INT32* value) override {
        *value = edge_view;
        return edge_view_result;
    }
    HRESULT STDMETHODCALLTYPE get_channel_search_kind(INT32* value) override {
        ++search_kind_reads;
        *value = search_kind;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE unused_second_slot() override {
        ADD_FAILURE() << "the loader called the second channel-options slot";
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_release_channels(UINT32* mask) override {
        ++channel_reads;
        *mask = channels;
        return channels_result;
    }

    ULONG references = 1;
    bool offer_edge_view = true;
    bool offer_channels = true;
    INT32 edge_view = 0;
    HRESULT edge_view_result = S_OK;
    INT32 search_kind = 0;
    UINT32 channels = 0;
    HRESULT channels_result = S_OK;
    int search_kind_reads = 0;
    int channel_reads = 0;
};

}  // namespace loader_test
