#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace linux_host {

// The page is served under a private scheme of ours; nothing else on disk is reachable.
inline constexpr char page_scheme[] = "corvane-weather";
inline constexpr char page_prefix[] = "corvane-weather://app/";
inline constexpr char start_address[] = "corvane-weather://app/index.html";

// The regular file inside `web_root` that `uri` names, or nullopt when the address is not
// under the page prefix, is malformed, or would lead outside the folder (".." segments,
// escapes, or links pointing elsewhere).
std::optional<std::filesystem::path> resolve_page_file(const std::filesystem::path& web_root,
                                                       std::string_view uri);

// The page's folder for the program at `executable`: "web" beside it (a build tree or a copied
// folder), else the installed one, <prefix>/share/corvane-weather/web.
std::filesystem::path web_folder_for(const std::filesystem::path& executable);

// The media type the page's files are served with, by file name extension.
std::string content_type_for(const std::filesystem::path& file);

}  // namespace linux_host
