#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <windows.h>

struct ICoreWebView2EnvironmentOptions;

namespace loader {

// The release channels: Stable, Beta, Dev, Canary and Internal, as indexes into the channel
// table and bits of a channel mask.
constexpr std::size_t channel_count = 5;
constexpr std::uint32_t internal_channel_bit = 1u << 4;
constexpr std::uint32_t public_channels_mask = internal_channel_bit - 1;
constexpr std::uint32_t every_channel_mask = (1u << channel_count) - 1;

// The order channels are searched in; a caller's other values mean the most stable first.
enum ChannelSearchKind : std::int32_t { most_stable_first = 0, least_stable_first = 1 };

// One environment-creation request as it travels through the loader; a plain value whose
// texts are borrowed (from the caller, or from OverrideStrings).
struct EnvironmentRequest {
    const wchar_t* browser_folder = nullptr;
    // Pinned by the DowngradeVersion policy; wins over browser_folder.
    const wchar_t* exact_version_folder = nullptr;
    const wchar_t* user_data_folder = nullptr;
    ICoreWebView2EnvironmentOptions* options = nullptr;
    std::int32_t channel_search_kind = most_stable_first;
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
