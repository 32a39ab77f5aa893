#include "loader/registry.h"

#include <array>

namespace loader {

win32::UniqueHkey open_key(HKEY root, const wchar_t* path, REGSAM access) {
    win32::UniqueHkey key;
    if (RegOpenKeyExW(root, path, 0, access, key.put()) != ERROR_SUCCESS) {
        key.release();  // the out-parameter is unspecified after a failure
    }
    return key;
}

std::optional<std::wstring> get_string_value(HKEY key, const wchar_t* name) {
    std::array<wchar_t, registry_buffer_bytes / sizeof(wchar_t)> buffer{};
    DWORD bytes = registry_buffer_bytes;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    buffer.back() = L'\0';  // RegGetValueW terminates; this only guards a faulty registry
    return std::wstring(buffer.data());
}

std::optional<DWORD> get_dword_value(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::optional<RawValue> query_value(HKEY key, const wchar_t* name) {
    std::array<wchar_t, registry_buffer_bytes / sizeof(wchar_t)> buffer{};
    DWORD bytes = registry_buffer_bytes;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // RegQueryValueExW does not terminate what it returns: a value that fills the whole buffer
    // without a terminator is longer than 259 units.
    const std::size_t units = bytes / sizeof(wchar_t);
    if (units >= buffer.size() && buffer.back() != L'\0') {
        return std::nullopt;
    }
    std::size_t length = 0;
    while (length < units && buffer[length] != L'\0') {
        ++length;
    }
    return RawValue{bytes, std::wstring(buffer.data(), length), type};
}

std::optional<RawValue> query_text_value(HKEY key, const wchar_t* name) {
    auto value = query_value(key, name);
    if (value && value->type != REG_SZ) {
        return std::nullopt;
    }
    return value;
}

}  // namespace loader
