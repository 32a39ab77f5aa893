#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

struct ICoreWebView2EnvironmentOptions;

namespace loader {

// One environment-creation request as it travels through the loader; a plain value whose
// texts are borrowed (from the caller, or from OverrideStrings).
struct EnvironmentRequest {
    const wchar_t* browser_folder = nullptr;
    // Pinned by the DowngradeVersion policy; wins over browser_folder.
    const wchar_t* exact_version_folder = nullptr;
    const wchar_t* user_data_folder = nullptr;
    ICoreWebView2EnvironmentOptions* options = nullptr;
    // 1: least stable channel first; anything else: most stable first.
    std::int32_t channel_search_kind = 0;
    bool use_edge_view = false;
    bool release_channels_given = false;
    bool search_kind_given = false;
    // Bit n selects channel n of the channel table.
    std::uint32_t release_channels = 0;
};

// Owns the texts that overrides point the request to; lives as long as the entry call.
struct OverrideStrings {
    std::wstring browser_folder;
    std::wstring exact_version_folder;
    std::wstring user_data_folder;
};

}  // namespace loader
