#pragma once

#include <filesystem>

#include "app/win32/application.h"

namespace win32_host {

// UI thread: asks the runtime loader for a browser environment for `application`'s window; the
// completion handlers then create, configure and navigate the view over `web_folder`. Each
// failure on the way is shown in a box owned by the window; out of memory before the request
// throws std::bad_alloc.
void create_browser_view(Application& application, const std::filesystem::path& web_folder,
                         const std::filesystem::path& user_data_folder);

}  // namespace win32_host
