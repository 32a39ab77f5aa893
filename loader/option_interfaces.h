#pragma once

// Interfaces that the loader asks the caller's environment options object for. Only the slots
// the loader calls are named for what they do.

#include <unknwn.h>
#include <windows.h>

#include "win32/interface_id.h"

namespace loader {

// Whether the Microsoft Edge browser itself should host the view (value 1).
struct EdgeViewOption : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_use_edge_view(INT32* value) = 0;
};

// The caller's channel choices.
struct ChannelOptions : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_channel_search_kind(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE unused_second_slot() = 0;  // never called by the loader
    virtual HRESULT STDMETHODCALLTYPE get_release_channels(UINT32* mask) = 0;
};

inline constexpr IID edge_view_option_iid = {
    0x0EA2394C, 0x96E6, 0x4AE3, {0x8F, 0x9A, 0x84, 0x73, 0xAB, 0xEF, 0x37, 0x32}};
inline constexpr IID channel_options_iid = {
    0xC48D539F, 0xE39F, 0x441C, {0xAE, 0x68, 0x1F, 0x66, 0xE5, 0x70, 0xBD, 0xC5}};

}  // namespace loader

template <>
struct win32::InterfaceId<loader::EdgeViewOption> {
    static const IID& value() { return loader::edge_view_option_iid; }
};
template <>
struct win32::InterfaceId<loader::ChannelOptions> {
    static const IID& value() { return loader::channel_options_iid; }
};
