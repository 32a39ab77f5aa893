#pragma once

#include <string>

#include <windows.h>

#include "tests/win32/test_support.h"

namespace fake_browser_view {

// Appends one line to the file named by CORVANE_FAKE_RUNTIME_LOG (nothing when unset).
void log_line(const std::string& line);

// Whether CORVANE_FAKE_RUNTIME_LOG names a log, so that costly lines can be skipped.
bool logging();

// How many creation calls the log holds so far.
int logged_calls();

// UTF-8 of a UTF-16 text; "(null)" for a null pointer.
std::string utf8(const wchar_t* text);

using win32_test::wide;  // UTF-16 of a UTF-8 text

// "0x" and eight upper-case hexadecimal digits.
std::string hex(HRESULT code);

}  // namespace fake_browser_view
