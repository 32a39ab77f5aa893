#pragma once

#include <string>

#include <windows.h>

namespace win32_host {

inline constexpr wchar_t error_caption[] = L"Corvane Weather";

// The text of an error box: `text`, and for a negative `code` an empty line and
// "Error: 0x" followed by the code's eight upper-case hexadecimal digits.
std::wstring error_box_text(const wchar_t* text, HRESULT code);

// Modal error box (caption "Corvane Weather", error icon, OK button) owned by `owner`, which
// may be null. Its own modal loop keeps dispatching the thread's messages while it is open.
void show_error(HWND owner, const wchar_t* text, HRESULT code);

}  // namespace win32_host
