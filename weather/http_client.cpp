#include "weather/http_client.h"

#include <algorithm>
#include <cctype>

#include "weather/text.h"

namespace weather {
namespace {

bool equals_ignoring_ascii_case(std::u16string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(), [](char16_t a, char b) {
               return a < 0x80 && std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

std::optional<std::uint16_t> parse_port(std::u16string_view digits, std::uint16_t fallback) {
    if (digits.empty()) {
        return fallback;
    }
    std::uint32_t port = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        port = port * 10 + (c - u'0');
        if (port > 65535) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint16_t>(port);
}

}  // namespace

std::optional<CrackedUrl> crack_url_portably(std::u16string_view url) {
    const std::size_t scheme_end = url.find(u"://");
    if (scheme_end == std::u16string_view::npos) {
        return std::nullopt;
    }
    CrackedUrl cracked;
    const std::u16string_view scheme = url.substr(0, scheme_end);
    std::uint16_t default_port = 0;
    if (equals_ignoring_ascii_case(scheme, "https")) {
        cracked.scheme = UrlScheme::https;
        default_port = 443;
    } else if (equals_ignoring_ascii_case(scheme, "http")) {
        cracked.scheme = UrlScheme::http;
        default_port = 80;
    } else {
        return std::nullopt;
    }

    const std::u16string_view rest = url.substr(scheme_end + 3);
    const std::size_t authority_end = std::min(rest.find_first_of(u"/?#"), rest.size());
    std::u16string_view authority = rest.substr(0, authority_end);
    if (const std::size_t at = authority.rfind(u'@'); at != std::u16string_view::npos) {
        authority.remove_prefix(at + 1);  // user name and password are not used
    }
    std::u16string_view host = authority;
    std::u16string_view port_text;
    if (const std::size_t colon = authority.rfind(u':');
        colon != std::u16string_view::npos && authority.find(u']', colon) == authority.npos) {
        host = authority.substr(0, colon);
        port_text = authority.substr(colon + 1);
    }
    const auto port = parse_port(port_text, default_port);
    if (host.empty() || !port) {
        return std::nullopt;
    }
    cracked.host = host;
    cracked.port = *port;

    const std::u16string_view after_authority = rest.substr(authority_end);
    const std::size_t extra_start =
        std::min(after_authority.find_first_of(u"?#"), after_authority.size());
    cracked.path = after_authority.substr(0, extra_start);
    cracked.extra = after_authority.substr(extra_start);
    return cracked;
}

std::optional<std::u16string> HttpClient::to_utf16(std::string_view utf8) const {
    return utf8_to_utf16(utf8);
}

std::optional<CrackedUrl> HttpClient::crack_url(const std::u16string& url) const {
    return crack_url_portably(url);
}

}  // namespace weather
