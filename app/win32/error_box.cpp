#include "app/win32/error_box.h"

#include <cwchar>

namespace win32_host {

std::wstring error_box_text(const wchar_t* text, HRESULT code) {
    std::wstring result = text ? text : L"";
    if (code < 0) {
        wchar_t line[32];
        std::swprintf(line, 32, L"\n\nError: 0x%08X", static_cast<unsigned int>(code));
        result += line;
    }
    return result;
}

void show_error(HWND owner, const wchar_t* text, HRESULT code) {
    const std::wstring message = error_box_text(text, code);
    MessageBoxW(owner, message.c_str(), error_caption, MB_ICONERROR);
}

}  // namespace win32_host
