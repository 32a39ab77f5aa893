#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

#include "loader/environment_request.h"
#include "loader/system_functions.h"

namespace loader {

// Four version components, most significant first.
using RuntimeVersion = std::array<std::uint32_t, 4>;

inline constexpr RuntimeVersion minimum_runtime_version{86, 0, 616, 0};
inline constexpr wchar_t client_dll_relative_path[] = L"EBWebView\\x64\\EmbeddedBrowserWebView.dll";

struct Channel {
    const wchar_t* name;
    const wchar_t* client_state_guid;  // of its key below client_state_root
    const wchar_t* package_family_name;
};
// Index = bit number in EnvironmentRequest::release_channels.
extern const std::array<Channel, channel_count> channels;

// The client library of a fixed runtime folder (relative folders are taken beside the
// executable), without a version check. 0x80070002 when it is not usable there.
[[nodiscard]] HRESULT client_dll_in_folder(const wchar_t* folder, std::wstring& dll_path);

// The client library of the first usable installed runtime in channel order; 0x80070002 when
// there is none.
[[nodiscard]] HRESULT find_installed_runtime(const EnvironmentRequest& request,
                                             std::wstring& dll_path);

// The channel indexes to search, in order; returns how many.
std::size_t channel_search_order(const EnvironmentRequest& request,
                                 std::array<int, channel_count>& order);

// A runtime registered under `key` (32-bit registry view) of `root`.
bool probe_registry_runtime(const wchar_t* key, bool is_edge, HKEY root, std::wstring& dll_path);

// Reads a runtime folder name as a version; false unless it starts with a digit.
bool parse_runtime_version(std::wstring_view text, RuntimeVersion& version);

// True when `version` is at least the minimum and the client library below `path` is usable;
// `path` then names that library.
bool check_runtime_version(const RuntimeVersion& version, std::wstring& path);

// Appends the client library's relative path to `path` and tells whether that file exists and
// can be opened for execution.
bool client_dll_usable(std::wstring& path);

// Absolute: a UNC path, or a drive letter, colon and backslash.
bool is_absolute_folder(std::wstring_view folder);

// The first package record of `family_name` (compared without regard to case) among `count`
// records: its version and folder.
struct PackageRuntime {
    RuntimeVersion version;
    std::wstring folder;
};
std::optional<PackageRuntime> find_package_runtime(const PackageInfo* records, std::uint32_t count,
                                                   const wchar_t* family_name);

}  // namespace loader
