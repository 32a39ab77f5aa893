#pragma once

// Where group policy and the Edge updater keep what the loader reads; each key text once.

#include <string>

namespace loader {

inline constexpr wchar_t policy_root[] = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";
// Below policy_root; read from the machine only.
inline constexpr wchar_t downgrade_policy_name[] = L"DowngradeVersion";

// The updater's key of one release channel, by the channel's GUID.
inline constexpr wchar_t client_state_root[] = L"Software\\Microsoft\\EdgeUpdate\\ClientState\\";
inline constexpr wchar_t stable_channel_guid[] = L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
inline std::wstring client_state_key(const wchar_t* channel_guid) {
    return std::wstring(client_state_root) + channel_guid;
}
// The value of a channel's key that names the installed runtime's folder.
inline constexpr wchar_t runtime_folder_value[] = L"EBWebView";

// The Edge browser's own key, used instead of the stable channel's for the Edge view.
inline constexpr wchar_t edge_browser_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{56EB18F8-B008-4CBD-B6D2-8C97FE7E9062}";

}  // namespace loader
