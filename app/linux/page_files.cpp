#include "app/linux/page_files.h"

#include <algorithm>
#include <map>

#include <glib.h>

namespace linux_host {
namespace {

// GLib's decoding: nullopt for a malformed escape or an escaped 0 byte.
std::optional<std::string> percent_decoded(std::string_view text) {
    g_autofree char* decoded =
        g_uri_unescape_segment(text.data(), text.data() + text.size(), nullptr);
    return decoded ? std::optional<std::string>(decoded) : std::nullopt;
}

bool is_inside(const std::filesystem::path& root, const std::filesystem::path& candidate) {
    const auto mismatch =
        std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return mismatch.first == root.end();
}

}  // namespace

std::optional<std::filesystem::path> resolve_page_file(const std::filesystem::path& web_root,
                                                       std::string_view uri) {
    if (!uri.starts_with(page_prefix)) {
        return std::nullopt;
    }
    std::string_view rest = uri.substr(std::string_view(page_prefix).size());
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::optional<std::string> decoded = percent_decoded(rest);
    if (!decoded || decoded->find('\0') != std::string::npos ||
        decoded->find('\\') != std::string::npos) {
        return std::nullopt;
    }
    const std::filesystem::path relative(decoded->empty() ? "index.html" : *decoded);
    if (relative.is_absolute()) {
        return std::nullopt;
    }
    for (const auto& segment : relative) {
        if (segment == "..") {
            return std::nullopt;
        }
    }

    std::error_code error;
    const auto root = std::filesystem::canonical(web_root, error);
    if (error) {
        return std::nullopt;
    }
    const auto file = std::filesystem::canonical(root / relative, error);
    if (error || !is_inside(root, file) || !std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    return file;
}

std::filesystem::path web_folder_for(const std::filesystem::path& executable) {
    std::filesystem::path beside = executable.parent_path() / "web";
    std::filesystem::path installed =
        executable.parent_path().parent_path() / "share" / "corvane-weather" / "web";
    std::error_code error;
    if (!std::filesystem::exists(beside / "index.html", error) &&
        std::filesystem::exists(installed / "index.html", error)) {
        return installed;
    }
    return beside;
}

std::string content_type_for(const std::filesystem::path& file) {
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".ico", "image/x-icon"},
        {".woff2", "font/woff2"},
        {".txt", "text/plain; charset=utf-8"},
    };
    const auto found = types.find(file.extension().string());
    return found == types.end() ? "application/octet-stream" : found->second;
}

}  // namespace linux_host
