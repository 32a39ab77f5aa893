#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// URL cracking and reference resolution by hand: the transport needs the same answers on
// both platforms, and neither libcurl's nor WinHTTP's parser is there on the other one.
namespace base {

enum class UrlScheme { other, http, https };

// The parts of an absolute URL the transport needs, as UTF-16 text exactly as written.
struct CrackedUrl {
    UrlScheme scheme = UrlScheme::other;
    std::u16string host;
    std::uint16_t port = 0;
    std::u16string path;
    std::u16string extra;  // "?query" and "#fragment", as written
};

// Cracks scheme://[user[:password]@]host[:port][path][?query][#fragment] the way the
// Windows HTTP client does for http and https; nullopt for anything else.
std::optional<CrackedUrl> crack_url_portably(std::u16string_view url);

// The absolute URL that `reference` (a Location header) names when read against `base_url`, with
// dot segments removed and without a fragment; nullopt when `base_url` has no scheme.
std::optional<std::u16string> resolve_reference(std::u16string_view base_url,
                                                std::u16string_view reference);

}  // namespace base
