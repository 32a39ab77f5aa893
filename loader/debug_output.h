#pragma once

#include <string_view>

namespace loader {

// Writes one finished diagnostic line to the debugger output.
void debug_line(const char* text);

// The same for a text in wide characters, written at once.
void debug_text(std::wstring_view text);

// Writes `prefix`, then `path` in wide characters, then a line end: three writes, so a path
// outside the ANSI code page reaches a Unicode-aware debugger intact.
void debug_path_line(const char* prefix, std::wstring_view path);

}  // namespace loader
