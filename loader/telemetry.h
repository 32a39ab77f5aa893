#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include <windows.h>

namespace loader {

// What the last enable callback of a listener said.
struct EnableState {
    bool enabled = false;
    UCHAR level = 0;
    ULONGLONG match_any = 0;
    ULONGLONG match_all = 0;
};

inline constexpr ULONGLONG telemetry_keyword = 0x400000000000;

// Records one enable-callback notification: 1 enables with the given masks, 0 disables, any
// other control code (a capture-state request) changes nothing.
void record_enable(EnableState& state, ULONG control_code, UCHAR level, ULONGLONG match_any,
                   ULONGLONG match_all);

// Whether an event of `level` with the loader's keyword may be written: the listener's level is
// 0 (all) or at least `level`, the keyword is among its match-any bits and its match-all bits
// ask for nothing else.
bool event_enabled(const EnableState& state, UCHAR level);

// The provider's name and group, in the provider-traits format of self-describing events.
std::vector<BYTE> provider_traits();

// The field types of the loader's events (self-describing event encoding).
enum class FieldType { ansi_text, wide_text, boolean, hresult, uint64 };
struct FieldMetadata {
    const char* name;
    FieldType type;
};
// The metadata of one self-describing event: size, no tags, the name, then each field.
std::vector<BYTE> event_metadata(const char* name, const FieldMetadata* fields, std::size_t count);

// The "CreateWebViewEnvironmentError" event, written only while a listener enables it.
void report_creation_error(HRESULT result, bool client_dll_found, bool installed_runtime);

// The "DowngradeVersionPolicy" event: warning level unless `applied`.
void report_downgrade_policy(const char* message, std::wstring_view detail, bool applied);

}  // namespace loader
