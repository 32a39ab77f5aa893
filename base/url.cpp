#include "base/url.h"

#include <algorithm>
#include <cctype>

namespace base {
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

// The parts of a URI reference, its fragment left out.
struct UriParts {
    std::optional<std::u16string_view> scheme;
    std::optional<std::u16string_view> authority;
    std::u16string_view path;
    std::optional<std::u16string_view> query;
};

bool is_ascii_letter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool is_scheme(std::u16string_view text) {
    return !text.empty() && is_ascii_letter(text[0]) &&
           std::all_of(text.begin(), text.end(), [](char16_t c) {
               return is_ascii_letter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' ||
                      c == u'.';
           });
}

UriParts split_uri(std::u16string_view text) {
    UriParts parts;
    text = text.substr(0, text.find(u'#'));
    if (const std::size_t colon = text.find(u':');
        colon != std::u16string_view::npos && is_scheme(text.substr(0, colon))) {
        parts.scheme = text.substr(0, colon);
        text.remove_prefix(colon + 1);
    }
    if (text.starts_with(u"//")) {
        text.remove_prefix(2);
        const std::size_t end = std::min(text.find_first_of(u"/?"), text.size());
        parts.authority = text.substr(0, end);
        text.remove_prefix(end);
    }
    const std::size_t question = text.find(u'?');
    parts.path = text.substr(0, question);
    if (question != std::u16string_view::npos) {
        parts.query = text.substr(question + 1);
    }
    return parts;
}

// "." and ".." segments resolved the way a URI reference's are.
std::u16string remove_dot_segments(std::u16string_view input) {
    std::u16string output;
    const auto drop_last_segment = [&] {
        const std::size_t slash = output.rfind(u'/');
        output.erase(slash == std::u16string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with(u"../")) {
            input.remove_prefix(3);
        } else if (input.starts_with(u"./") || input.starts_with(u"/./")) {
            input.remove_prefix(2);
        } else if (input == u"/.") {
            input = u"/";
        } else if (input.starts_with(u"/../")) {
            input.remove_prefix(3);
            drop_last_segment();
        } else if (input == u"/..") {
            input = u"/";
            drop_last_segment();
        } else if (input == u"." || input == u"..") {
            input = {};
        } else {
            const std::size_t end = std::min(input.find(u'/', 1), input.size());
            output += input.substr(0, end);
            input.remove_prefix(end);
        }
    }
    return output;
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

std::optional<std::u16string> resolve_reference(std::u16string_view base_url,
                                                std::u16string_view reference) {
    const UriParts from = split_uri(base_url);
    if (!from.scheme) {
        return std::nullopt;
    }
    const UriParts to = split_uri(reference);
    UriParts target;
    std::u16string path;
    if (to.scheme) {
        target = to;
        path = remove_dot_segments(to.path);
    } else if (to.authority) {
        target = to;
        target.scheme = from.scheme;
        path = remove_dot_segments(to.path);
    } else {
        target = from;
        if (to.path.empty()) {
            path = from.path;
            if (to.query) {
                target.query = to.query;
            }
        } else {
            target.query = to.query;
            if (to.path.starts_with(u'/')) {
                path = remove_dot_segments(to.path);
            } else if (from.authority && from.path.empty()) {
                path = remove_dot_segments(u"/" + std::u16string(to.path));
            } else {
                const std::size_t last_slash = from.path.rfind(u'/');
                const std::u16string_view directory = last_slash == std::u16string_view::npos
                                                          ? std::u16string_view()
                                                          : from.path.substr(0, last_slash + 1);
                path = remove_dot_segments(std::u16string(directory) + std::u16string(to.path));
            }
        }
    }

    std::u16string resolved(*target.scheme);
    resolved += u':';
    if (target.authority) {
        resolved += u"//";
        resolved += *target.authority;
    }
    resolved += path;
    if (target.query) {
        resolved += u'?';
        resolved += *target.query;
    }
    return resolved;
}

}  // namespace base
