#include "loader/debug_output.h"

#include <string>

#include <windows.h>

namespace loader {

void debug_line(const char* text) {
    OutputDebugStringA(text);
}

void debug_text(std::wstring_view text) {
    OutputDebugStringW(std::wstring(text).c_str());
}

void debug_path_line(const char* prefix, std::wstring_view path) {
    OutputDebugStringA(prefix);
    OutputDebugStringW(std::wstring(path).c_str());
    OutputDebugStringA("\n");
}

}  // namespace loader
