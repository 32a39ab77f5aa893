#pragma once

// Texts the fake browser view hands out through out-parameters, allocated with CoTaskMemAlloc
// as the runtime does. A COM malloc spy sees every CoTaskMemFree of the process, so the fake
// can tell whether the host freed each of them exactly once.

#include <string>

#include <windows.h>

namespace fake_browser_view {

// A CoTaskMemAlloc copy of `text` for the caller to free.
LPWSTR hand_out(const std::wstring& text);

struct StringCounts {
    long given = 0;
    long freed = 0;
    long freed_twice = 0;
};
StringCounts string_counts();

}  // namespace fake_browser_view
