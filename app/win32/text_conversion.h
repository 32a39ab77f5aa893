#pragma once

#include <string>
#include <string_view>

namespace win32_host {

// UTF-8 to UTF-16. Text that is not valid UTF-8 gives the text "Invalid UTF-8" instead of
// failing.
std::wstring utf8_to_wide(std::string_view utf8);

// UTF-16 to UTF-8, every unpaired surrogate becoming U+FFFD.
std::string wide_to_utf8(std::wstring_view wide);

}  // namespace win32_host
