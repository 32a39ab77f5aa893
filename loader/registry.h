#pragma once

#include <optional>
#include <string>

#include <windows.h>

#include "win32/system_handles.h"

namespace loader {

// Every registry text is read into this many bytes (259 units and a terminator); longer values
// count as absent.
inline constexpr DWORD registry_buffer_bytes = 520;

// Opens a key; empty when it cannot be opened.
win32::UniqueHkey open_key(HKEY root, const wchar_t* path, REGSAM access);

// A REG_SZ value read with RegGetValueW; empty when absent, of another type or too long.
std::optional<std::wstring> get_string_value(HKEY key, const wchar_t* name);

// A REG_DWORD value read with RegGetValueW; empty when absent or of another type.
std::optional<DWORD> get_dword_value(HKEY key, const wchar_t* name);

// A value read with RegQueryValueExW, whatever its type: the byte count the registry reported
// and the text up to the first terminator. Data that would not leave room for a terminator in
// the buffer counts as too long.
struct RawValue {
    DWORD bytes = 0;
    std::wstring text;
    DWORD type = REG_NONE;
};
std::optional<RawValue> query_value(HKEY key, const wchar_t* name);

// The same for a value that must be a REG_SZ text, as the updater writes its folder values:
// the same bytes under any other type (REG_EXPAND_SZ and REG_BINARY among them) count as absent.
std::optional<RawValue> query_text_value(HKEY key, const wchar_t* name);

}  // namespace loader
