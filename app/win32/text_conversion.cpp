#include "app/win32/text_conversion.h"

#include "base/unicode.h"

namespace win32_host {

// wchar_t is a UTF-16 unit on Windows, so the program's own conversion serves the host too.
std::wstring utf8_to_wide(std::string_view utf8) {
    const std::optional<std::u16string> utf16 = base::utf8_to_utf16(utf8);
    if (!utf16) {
        return L"Invalid UTF-8";
    }
    return std::wstring(utf16->begin(), utf16->end());
}

std::string wide_to_utf8(std::wstring_view wide) {
    return base::utf16_to_utf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace win32_host
